#!/usr/bin/env bash
# The outside installers of the package set under Wine: the MSI packages install through Wine's msiexec
# (the native client package leaves the key that the SQL Server detection looks for), and the stand-ins
# record their command line and working directory, exit with the chosen code and register like the real
# redistributables.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
control="$WINEPREFIX/drive_c/NembricTest"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# reg_has VIEW KEY [VALUE]: the key (and value) exist in the prefix's registry, in the 64- or 32-bit view.
reg_has() {
  local output
  output=$(world_reg_query "HKLM\\$2" ${3:+/v "$3"} /reg:"$1")
  [[ "$output" != absent:* && "$output" != unreadable:* ]]
}

"$WORLD_RUN" reg delete 'HKLM\SOFTWARE\Microsoft\SQLNCLI11' /f >/dev/null 2>&1 || true
cp "$WORLD_DOWNLOADS/sqlncli.msi" "$WORLD_DOWNLOADS/NembricISSetup.msi" "$work/"
for package in sqlncli.msi NembricISSetup.msi; do
  "$WORLD_RUN" msiexec /i "$(world_winpath "$work/$package")" /qn || fail "msiexec $package exited with $?"
done
reg_has 64 'SOFTWARE\Microsoft\SQLNCLI11' InstalledVersion || fail "no native client key after sqlncli.msi"
reg_has 64 'SOFTWARE\Halvorn\NembricIS' Version || fail "no information server key after NembricISSetup.msi"
for package in sqlncli.msi NembricISSetup.msi; do
  "$WORLD_RUN" msiexec /x "$(world_winpath "$work/$package")" /qn || fail "msiexec /x $package exited with $?"
done
reg_has 64 'SOFTWARE\Microsoft\SQLNCLI11' InstalledVersion && fail "the native client key outlived its removal"

mkdir -p "$control"
# stand-in, chosen exit code, registry view and key it must leave (or none)
while IFS='|' read -r name code view key; do
  rm -f "$control/$name.log"
  "$WORLD_RUN" reg delete "HKLM\\$key" /f /reg:"$view" >/dev/null 2>&1 || true
  echo "$code" >"$control/$name.exitcode"
  cp "$WORLD_DOWNLOADS/$name.exe" "$work/"
  status=0
  (cd "$work" && "$WORLD_RUN" "$work/$name.exe" /q /norestart >"$work/$name.out") || status=$?
  # The host sees the low byte of a Windows exit code (3010 arrives as 194).
  [ "$status" -eq $((code % 256)) ] || fail "$name exited with $status, not $code"
  grep -q '/q /norestart|' "$control/$name.log" || fail "$name did not record its command line: $(cat "$control/$name.log")"
  grep -qi 'nembric\|tmp' "$control/$name.log" || fail "$name did not record its working directory"
  if [ "$code" = 1 ]; then
    reg_has "$view" "$key" && fail "$name registered although it failed"
  else
    reg_has "$view" "$key" Installed || fail "$name left no Installed value under $key"
  fi
  rm -f "$control/$name.exitcode"
done <<'TABLE'
vcredist_x64|0|64|SOFTWARE\Microsoft\VisualStudio\12.0\VC\Runtimes\X64
vcredist_x32|3010|32|SOFTWARE\Microsoft\VisualStudio\12.0\VC\Runtimes\X86
VC_redist.x64|0|32|SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64
VC_redist.x64|1|32|SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64
TABLE


# The SQL Server stand-in talks for more than a second and more than 255 bytes.
rm -f "$control/SQLEXPR_x64_ENU.log"
cp "$WORLD_DOWNLOADS/SQLEXPR_x64_ENU.exe" "$work/"
start=$(date +%s%N)
"$WORLD_RUN" "$work/SQLEXPR_x64_ENU.exe" /QS /ACTION=Install >"$work/sql.out"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(wc -c <"$work/sql.out")" -gt 255 ] || fail "the SQL stand-in printed $(wc -c <"$work/sql.out") bytes"
[ "$elapsed" -gt 1000 ] || fail "the SQL stand-in ended after $elapsed ms"
grep -q '/QS /ACTION=Install|' "$control/SQLEXPR_x64_ENU.log" || fail "the SQL stand-in did not record its command line"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "installers: MSI packages and stand-ins behave as the real ones"
