#!/usr/bin/env bash
# The package set: every cabinet holds the entries of its table in order, with the fixed time stamp, and
# a second packing of the same programs gives the same bytes.
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
downloads="$build/packages/downloads"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

cut -d'|' -f1 <"$here/contents.txt" | grep -v '^#' | sort -u >"$work/cabinets"
while read -r cabinet; do
  grep "^$cabinet|" "$here/contents.txt" | cut -d'|' -f2 | tr '/' '\\' >"$work/expected"
  gcab --list "$downloads/$cabinet" >"$work/listed"
  diff -u "$work/expected" "$work/listed" >/dev/null || {
    echo "FAIL: $cabinet holds $(tr '\n' ' ' <"$work/listed")"
    failures=$((failures + 1))
  }
  # Every entry extracts, and each carries the package set's time stamp.
  mkdir -p "$work/x/$cabinet"
  TZ=UTC cabextract -q -d "$work/x/$cabinet" "$downloads/$cabinet"
  bad=$(cd "$work/x/$cabinet" && find . -type f ! -newermt '2024-03-01 11:59:59 UTC' -o -type f -newermt '2024-03-01 12:00:01 UTC' | head -1)
  [ -z "$bad" ] || { echo "FAIL: $cabinet: $bad has another time stamp"; failures=$((failures + 1)); }
done <"$work/cabinets"
[ "$(wc -l <"$work/cabinets")" -eq 12 ] || { echo "FAIL: not 12 cabinets"; failures=$((failures + 1)); }

for name in NembricISSetup.msi sqlncli.msi vcredist_x64.exe vcredist_x32.exe VC_redist.x64.exe SQLEXPR_x64_ENU.exe; do
  [ -s "$downloads/$name" ] || { echo "FAIL: $name missing"; failures=$((failures + 1)); }
done
msiinfo export "$downloads/sqlncli.msi" Registry | grep -q 'SOFTWARE\\Microsoft\\SQLNCLI11' ||
  { echo "FAIL: sqlncli.msi does not register the native client"; failures=$((failures + 1)); }

# Every package carries the test world's publisher's signature, which its authority verifies; the variants
# do not. A signed cabinet with one changed byte fails too (Wine's WinVerifyTrust takes it; Windows and
# osslsigncode do not).
verifies() { osslsigncode verify -CAfile "$build/tls/ca.pem" -in "$1" >/dev/null 2>&1; }
for package in "$downloads"/*; do
  verifies "$package" || { echo "FAIL: $(basename "$package") is not signed by the test publisher"; failures=$((failures + 1)); }
done
for package in "$build"/packages/variants/*/*; do
  ! verifies "$package" || { echo "FAIL: the variant $package verifies"; failures=$((failures + 1)); }
done
cp "$downloads/NembricAIAppSetup.cab" "$work/changed.cab"
printf '\x5a' | dd of="$work/changed.cab" bs=1 seek=$(($(stat -c %s "$work/changed.cab") / 2)) conv=notrunc status=none
! verifies "$work/changed.cab" || { echo "FAIL: a changed signed cabinet verifies"; failures=$((failures + 1)); }

# Packed again from the same programs: byte-identical.
bash "$here/build_packages.sh" "$work/again" "$build/tests/e2e/packages/bin" "$build/tls"
(cd "$downloads" && sha256sum -- *) >"$work/first"
(cd "$work/again/downloads" && sha256sum -- *) >"$work/second"
diff -u "$work/first" "$work/second" || { echo "FAIL: the package set is not reproducible"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || exit 1
echo "package set: $(wc -l <"$work/first") packages, lists and time stamps as built, reproducible"
