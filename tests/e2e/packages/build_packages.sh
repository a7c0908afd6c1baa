#!/usr/bin/env bash
# Builds the package set that the local download server serves, reproducibly: the same inputs give the
# same bytes. usage: build_packages.sh OUT_DIR BIN_DIR TLS_DIR
#   OUT_DIR/downloads/  the cabinets, MSI packages and installer stand-ins, each signed (Authenticode,
#                       SHA-256) by the test world's publisher, whose authority the tests' build pins
#   OUT_DIR/variants/   the client's runtime installer and cabinet as no pinned publisher gives them:
#                       unsigned/, other/ (signed by another authority's publisher) and tampered/ (signed,
#                       then one byte changed)
#   BIN_DIR             the client programs, server modules and standin_installer.exe of the build
#   TLS_DIR             the test world's authorities and publishers (tests/e2e/make_test_ca.sh)
set -euo pipefail
out=$1
bin=$2
tls=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export TZ=UTC LC_ALL=C
# Every file in the cabinets carries this time stamp (a DOS time: even seconds).
stamp='2024-03-01 12:00:00'
stamp_filetime=133537680000000000  # the same moment as a Windows FILETIME, for the MSI summaries
stamp_unix=1709294400              # and as a Unix time, the signatures' signing time

downloads="$out/downloads"
stage="$out/stage"
variants="$out/variants"
rm -rf "$downloads" "$stage" "$variants"
mkdir -p "$downloads" "$stage" "$variants"/{unsigned,other,tampered}

# Cabinets, in the order of the table, each entry staged under its folder part.
cabinets=()
while IFS='|' read -r cabinet entry source; do
  case "$cabinet" in '' | '#'*) continue ;; esac
  case "$source" in
    bin/*) from="$bin/${source#bin/}" ;;
    *) from="$here/$source" ;;
  esac
  mkdir -p "$stage/$cabinet/$(dirname "$entry")"
  cp "$from" "$stage/$cabinet/$entry"
  printf '%s\n' "$entry" >>"$stage/$cabinet.list"
  [[ " ${cabinets[*]-} " == *" $cabinet "* ]] || cabinets+=("$cabinet")
done <"$here/contents.txt"

for cabinet in "${cabinets[@]}"; do
  (
    cd "$stage/$cabinet"
    find . -type f -exec touch -d "$stamp" {} +
    mapfile -t entries <"$stage/$cabinet.list"
    gcab --create --zip "$downloads/$cabinet" "${entries[@]}"
  )
done

# The MSI packages, with fixed package codes and summary times; wixl takes sources relative to the folder it
# runs in, where the information server's program joins the files.
mkdir -p "$stage/msi"
cp "$here"/*.wxs "$stage/msi/"
cp -r "$here/files" "$stage/msi/"
cp "$bin/NembricAI.exe" "$stage/msi/files/NembricIS.exe"
find "$stage/msi" -type f -exec touch -d "$stamp" {} +
(
  cd "$stage/msi"
  wixl --arch x64 -o "$downloads/NembricISSetup.msi" nembric_is_setup.wxs 2>/dev/null
  wixl --arch x64 -o "$downloads/sqlncli.msi" sqlncli.wxs 2>/dev/null
)
python3 "$here/fix_msi.py" "$downloads/NembricISSetup.msi" '{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A00}' "$stamp_filetime"
python3 "$here/fix_msi.py" "$downloads/sqlncli.msi" '{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0B00}' "$stamp_filetime"

# The outside installers: one stand-in under each name.
for name in vcredist_x64.exe vcredist_x32.exe VC_redist.x64.exe SQLEXPR_x64_ENU.exe; do
  cp "$bin/standin_installer.exe" "$downloads/$name"
done

# sign PUBLISHER AUTHORITY IN OUT: an Authenticode signature (SHA-256) with the publisher's certificate and
# its authority's beside it, at the package set's moment.
sign() {
  osslsigncode sign -certs "$tls/$1.pem" -key "$tls/$1.key" -ac "$tls/$2.pem" -h sha256 -time "$stamp_unix" \
    -in "$3" -out "$4" >/dev/null
}
for name in VC_redist.x64.exe NembricAIAppSetup.cab; do
  cp "$downloads/$name" "$variants/unsigned/$name"
  sign other-codesign other-ca "$downloads/$name" "$variants/other/$name"
done
for package in "$downloads"/*; do
  sign codesign ca "$package" "$stage/signed"
  mv "$stage/signed" "$package"
done
# A signed runtime installer with one byte in the middle of its image changed afterwards.
cp "$downloads/VC_redist.x64.exe" "$variants/tampered/VC_redist.x64.exe"
middle=$(($(stat -c %s "$variants/tampered/VC_redist.x64.exe") / 2))
printf '\x5a' | dd of="$variants/tampered/VC_redist.x64.exe" bs=1 seek="$middle" conv=notrunc status=none
cmp -s "$downloads/VC_redist.x64.exe" "$variants/tampered/VC_redist.x64.exe" &&
  printf '\xa5' | dd of="$variants/tampered/VC_redist.x64.exe" bs=1 seek="$middle" conv=notrunc status=none
touch -d "$stamp" "$downloads"/* "$variants"/*/*
rm -rf "$stage"
