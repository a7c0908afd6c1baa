#!/usr/bin/env bash
# Names outside the ANSI code page, under Wine's own code page (1252, as on a Western European Windows):
# the setup started from "C:\Łódź 日本\Start" (its log there) with a UTF-8 answer file that puts the AI
# client into "C:\Łódź 日本\Client", quietly; then the quiet uninstall from the registry's command. The
# install must end with 0, its files, uninstall entry and record under those names, and the uninstall must
# leave neither folder nor entry. ("ł", "ź" and "日本" have no form in code page 1252: an ANSI call would
# see "?" and make or look for another folder.)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
name="Łódź 日本"
start="$drive_c/$name/Start"
client="$drive_c/$name/Client"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
trap 'world_stop_server; rm -rf "$drive_c/$name"' EXIT

acp=$(reg_value 64 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' ACP)
[ "$acp" != 65001 ] && [ -n "$acp" ] || fail "the prefix's ANSI code page is '$acp': the test needs one that is not UTF-8"

rm -rf "$drive_c/$name" "$drive_c/Program Files/Halvorn"
mkdir -p "$start"
world_forget_ai_client
cp "$WORLD_EXE" "$start/NembricSetup.exe"
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\nClientDirectory = C:\\%s\\Client\r\n' "$name" \
  >"$start/ai.ini"

world_start_server
status=$(cd "$start" && world_exit_code "$start/NembricSetup.exe" /quiet "/answers=C:\\$name\\Start\\ai.ini" \
  /source=localhost)
[ "$status" = 0 ] || fail "install: exit code $status, not 0"
tr -d '\r' <"$start/$log_name" >"$artefacts/non-ascii-install.log" 2>/dev/null || fail "install: no log in the start folder"
grep -qx "User Interface:Successfully updated Software" "$artefacts/non-ascii-install.log" ||
  fail "install: the log does not end the install"
for file in NembricAI.exe NembricAI-models.txt ReadMe.txt; do
  [ -f "$client/$file" ] || fail "install: $file is not in the client folder"
done
strays=$(cd "$drive_c" && find . -maxdepth 1 -name '*\?*' | tr '\n' ' ')
[ -z "$strays" ] || fail "install: folders named with '?': $strays"
# The registry keeps the folder as UTF-16; reg.exe would print it in the console's code page, so the entry
# is read from its export (UTF-16 too).
"$WORLD_RUN" reg export "$entry" "C:\\$name\\entry.reg" /reg:32 /y >/dev/null 2>&1 || true
location=$(iconv -f UTF-16LE -t UTF-8 "$drive_c/$name/entry.reg" 2>/dev/null | tr -d '\r' |
  sed -n 's/^"InstallLocation"="\(.*\)"$/\1/p')
[ "$location" = "C:\\\\$name\\\\Client\\\\" ] || [ "$location" = "c:\\\\$name\\\\Client\\\\" ] ||
  fail "install: InstallLocation is '$location'"
record="$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt"
grep -q "$name" "$record" || fail "install: the record does not name the folder in UTF-8"

command=$(reg_value 32 "$entry" QuietUninstallString)
eval "command=($command)"
status=$(cd "$start" && world_exit_code "${command[@]}")
world_stop_server
[ "$status" = 0 ] || fail "uninstall: exit code $status, not 0"
tr -d '\r' <"$start/$log_name" >"$artefacts/non-ascii-uninstall.log" 2>/dev/null || true
[ ! -e "$client" ] || fail "uninstall: the client folder stays: $(ls "$client")"
[ -z "$(reg_value 32 "$entry" DisplayName)" ] || fail "uninstall: the uninstall entry is still there"

[ "$WORLD_FAILURES" -eq 0 ] && echo "non-ASCII paths: installed into and removed from C:\\$name\\Client under code page $acp"
exit "$((WORLD_FAILURES > 0))"
