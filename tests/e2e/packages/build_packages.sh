#!/usr/bin/env bash
# Builds the package set that the local download server serves, reproducibly: the same inputs give the
# same bytes. usage: build_packages.sh OUT_DIR BIN_DIR
#   OUT_DIR/downloads/  the cabinets, MSI packages and installer stand-ins
#   BIN_DIR             the client programs, server modules and standin_installer.exe of the build
set -euo pipefail
out=$1
bin=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export TZ=UTC LC_ALL=C
# Every file in the cabinets carries this time stamp (a DOS time: even seconds).
stamp='2024-03-01 12:00:00'
stamp_filetime=133537680000000000  # the same moment as a Windows FILETIME, for the MSI summaries

downloads="$out/downloads"
stage="$out/stage"
rm -rf "$downloads" "$stage"
mkdir -p "$downloads" "$stage"

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
touch -d "$stamp" "$downloads"/*
rm -rf "$stage"
