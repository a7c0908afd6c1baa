#!/usr/bin/env bash
# Taking the last update back: a quiet install of the AI client from the package set, the same install
# after the download server published the client's next version (its ReadMe.txt changed, a file added),
# then "/quiet /undo" from the installed setup program, then the quiet uninstall from the registry's
# command. The undo must end with 0 and leave the client's files as the first install left them (the added
# file gone); a second undo finds nothing; the uninstall leaves neither folder nor entry.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
client="$drive_c/NembricAIApp"
start="$drive_c/NembricUndo"
installed='C:\Program Files\Halvorn\NembricAI\NembricSetup.exe'
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
next=$(mktemp -d)
trap 'world_stop_server; rm -rf "$next" "$start"' EXIT

# The next version: the client's cabinet with its ReadMe.txt changed and News.txt added, signed as the
# package set is.
cp -p "$WORLD_DOWNLOADS"/* "$next/"
mkdir "$next/stage"
gcab -x -C "$next/stage" "$WORLD_DOWNLOADS/NembricAIAppSetup.cab" >/dev/null
printf 'Halvorn NembricAI, next version\r\n' >>"$next/stage/ReadMe.txt"
printf 'What is new in the next version\r\n' >"$next/stage/News.txt"
(cd "$next/stage" && gcab -c -z "$next/unsigned.cab" $(find . -type f -printf '%P\n' | sort)) >/dev/null
world_sign "$next/unsigned.cab" "$next/NembricAIAppSetup.cab"
rm -rf "$next/stage" "$next/unsigned.cab"

rm -rf "$client" "$start" "$drive_c/Program Files/Halvorn"
mkdir -p "$start"
world_forget_ai_client
cp "$WORLD_EXE" "$start/NembricSetup.exe"
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$start/ai.ini"
digests() { (cd "$client" && find . -path ./Update -prune -o -type f -print0 | sort -z | xargs -0 sha256sum); }

world_start_server
status=$(cd "$start" && world_exit_code "$start/NembricSetup.exe" /quiet '/answers=C:\NembricUndo\ai.ini' /source=localhost)
world_stop_server
[ "$status" = 0 ] || fail "first install: exit code $status, not 0"
first=$(digests)

downloads=$WORLD_DOWNLOADS
WORLD_DOWNLOADS=$next
world_start_server
WORLD_DOWNLOADS=$downloads
began=$(date +%s%N)
status=$(cd "$start" && world_exit_code "$start/NembricSetup.exe" /quiet '/answers=C:\NembricUndo\ai.ini' /source=localhost)
update_ms=$((($(date +%s%N) - began) / 1000000))
world_stop_server
[ "$status" = 0 ] || fail "update: exit code $status, not 0"
[ -f "$client/News.txt" ] || fail "update: News.txt is not in the client folder"
[ "$(digests)" != "$first" ] || fail "update: the client's files did not change"

# What the update kept to be taken back, against what the client has installed.
kept=$(du -sb "$drive_c/Program Files/Halvorn/NembricAI/Backup" | cut -f1)
installed_bytes=$(du -sb "$client" | cut -f1)
began=$(date +%s%N)
status=$(cd "$start" && world_exit_code "$installed" /quiet /undo)
undo_ms=$((($(date +%s%N) - began) / 1000000))
tr -d '\r' <"$start/$log_name" >"$artefacts/undo.log" 2>/dev/null || fail "undo: no log"
[ "$status" = 0 ] || fail "undo: exit code $status, not 0"
grep -qx "Client Setup:Taking back the last update" "$artefacts/undo.log" || fail "undo: the log does not say so"
[ ! -e "$client/News.txt" ] || fail "undo: News.txt stays"
[ "$(digests)" = "$first" ] || fail "undo: the client's files are not the first install's: $(diff <(echo "$first") <(digests) | tr '\n' ' ')"

status=$(cd "$start" && world_exit_code "$installed" /quiet /undo)
tr -d '\r' <"$start/$log_name" >"$artefacts/undo-again.log" 2>/dev/null || true
[ "$status" = 0 ] || fail "second undo: exit code $status, not 0"
grep -q "Nothing to undo" "$artefacts/undo-again.log" || fail "second undo: the log does not say there is nothing"

command=$(reg_value 32 "$entry" QuietUninstallString)
eval "command=($command)"
status=$(cd "$start" && world_exit_code "${command[@]}")
[ "$status" = 0 ] || fail "uninstall: exit code $status, not 0"
[ ! -e "$client" ] || fail "uninstall: the client folder stays: $(ls "$client")"
[ -z "$(reg_value 32 "$entry" DisplayName)" ] || fail "uninstall: the uninstall entry is still there"

[ "$WORLD_FAILURES" -eq 0 ] && echo "undo: the client's update taken back to the first install's files, then removed;" \
  "kept $kept bytes for $installed_bytes installed; update $update_ms ms, undo $undo_ms ms"
exit "$((WORLD_FAILURES > 0))"
