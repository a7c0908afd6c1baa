#!/usr/bin/env bash
# The setup's winget manifest passes its schema version's rules and agrees with the setup; each kind of
# fault planted in a copy is named. With a built NembricSetup.exe (argument 1), the copy that carries its
# SHA-256 passes too.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check="$root/tools/winget_manifest.py"
manifest="$root/packaging/winget/Halvorn.NembricSetup.yaml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

python3 "$check" --check "$manifest" >/dev/null || { echo "FAIL: the manifest itself"; failures=1; }
if [ -n "${1:-}" ]; then
  python3 "$check" --exe "$1" --out "$work/released.yaml" >/dev/null || { echo "FAIL: the released copy"; failures=1; }
  grep -q "InstallerSha256: $(sha256sum "$1" | cut -c1-64 | tr a-f A-F)" "$work/released.yaml" ||
    { echo "FAIL: the released copy does not carry the exe's SHA-256"; failures=1; }
fi

# expect_fault SED_SCRIPT MESSAGE: the manifest changed by the script must be refused, naming MESSAGE.
expect_fault() {
  sed "$1" "$manifest" >"$work/bad.yaml"
  local out status=0
  out=$(python3 "$check" --check "$work/bad.yaml") || status=$?
  if [ "$status" -ne 1 ] || ! grep -qF -- "$2" <<<"$out"; then
    echo "FAIL: \"$1\" was not refused with \"$2\": $out"
    failures=1
  fi
}
expect_fault 's/^ManifestVersion: 1.6.0/ManifestVersion: 1.5.0/' "ManifestVersion"
expect_fault '/^License:/d' "License: required"
expect_fault 's/^PackageIdentifier: Halvorn.NembricSetup/PackageIdentifier: NembricSetup/' "PackageIdentifier"
expect_fault 's/InstallerType: exe/InstallerType: setup/' "InstallerType"
expect_fault 's/ReturnResponse: installInProgress/ReturnResponse: busy/' "ExpectedReturnCodes"
expect_fault 's/InstallerReturnCode: 1618/InstallerReturnCode: 1619/' "not the setup's exit codes"
expect_fault 's|Silent: /quiet|Silent: /silent|' "silent switches"
expect_fault 's/DisplayName: Nembric10App/DisplayName: Nembric/' "DisplayName"
expect_fault 's/^Scope: machine/Colour: blue/' "Colour: not a field"
[ "$failures" -eq 0 ] && echo "winget manifest: valid, true to the setup, and each planted fault refused"
exit "$failures"
