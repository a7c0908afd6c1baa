#!/usr/bin/env bash
# The setup's winget manifest passes the official schema of its version and agrees with the setup; each
# kind of fault planted in a copy is named. With a built NembricSetup.exe (argument 1), the copy that
# carries its SHA-256 passes too.
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
  grep -q "InstallerSha256: \"$(sha256sum "$1" | cut -c1-64 | tr a-f A-F)\"" "$work/released.yaml" ||
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
# The placeholder hash as it stood unquoted (a number to a plain YAML reader), fields the schema does not
# know, the schema's own rules, and what must agree with the setup.
while IFS='|' read -r script message; do
  expect_fault "$script" "$message"
done <<'TABLE'
s/InstallerSha256: "\(.*\)"/InstallerSha256: \1/|InstallerSha256: 0 is not of type 'string'
s/^Scope: machine/Colour: blue/|('Colour' was unexpected)
s/        ProductCode: NembricClient/        ProductId: NembricClient/|('ProductId' was unexpected)
s/^ManifestVersion: 1.6.0/ManifestVersion: 1.5.0/|no official schema of that kind and version
/^License:/d|'License' is a required property
s/^PackageIdentifier: Halvorn.NembricSetup/PackageIdentifier: NembricSetup/|PackageIdentifier: 'NembricSetup' does not match
s/InstallerType: exe/InstallerType: setup/|InstallerType: 'setup' is not one of
s/ReturnResponse: installInProgress/ReturnResponse: busy/|ReturnResponse: 'busy' is not one of
s/InstallerReturnCode: 1618/InstallerReturnCode: many/|InstallerReturnCode: 'many' is not a number
s/InstallerReturnCode: 1618/InstallerReturnCode: 1619/|not the setup's exit codes
s,  Silent: /quiet,  Silent: /silent,|the Silent switch
s,SilentWithProgress: /passive,SilentWithProgress: /quiet,|the SilentWithProgress switch
s/DisplayName: Nembric10App/DisplayName: Nembric/|DisplayName
TABLE
[ "$failures" -eq 0 ] && echo "winget manifest: valid, true to the setup, and each planted fault refused"
exit "$failures"
