#!/usr/bin/env bash
# A quiet install of the AI client killed hard part-way (the process ended as a power cut or a task
# manager would end it), then a quiet install that completes, then the quiet uninstall: nothing of ours is
# left (files, folders, registry, shortcut), compared with a snapshot taken before. The kill comes:
#   download   while the runtime installer comes in (slowly, from the download server);
#   installer  while the runtime installer runs: it goes on to its end by itself, so the next run finds
#              the runtime in place and does not fetch it again; the package the killed run left is still
#              taken back;
#   fetch-ahead while the runtime installer runs and the client cabinet comes in beside it: the part is
#              taken back;
#   extraction while the client cabinet is unpacked (a compressed cabinet of a 96 MiB file, served for this
#              road): the file being written is the run's from its first byte and goes with the rest (a
#              kill that comes only after the file is whole is tried again);
#   registered once the uninstall entry is made, while the registration is written or right after it,
#              before the client is committed: the client is taken back with its registration (a kill that
#              comes only after the commit is tried again).
# The next install says that it settled the run that was cut off.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricE2E"
control="$drive_c/NembricTest"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
settled="User Interface:The last setup was cut off before its end: what it had not finished is taken back"
trap 'world_stop_server' EXIT

prepare() {
  rm -rf "$work" "$control" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn" \
    "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Halvorn NembricAI.lnk"
  mkdir -p "$work" "$control"
  world_forget_ai_client
  printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$work/ai.ini"
}

# What an install of ours could leave: the folders it writes to, the Start menu, our registry keys.
snapshot() {
  (cd "$drive_c" && { find "Program Files" "ProgramData/Microsoft/Windows/Start Menu" NembricAIApp 2>/dev/null || true; } | sort)
  for key in 'HKLM\SOFTWARE\Halvorn /reg:64' 'HKCU\Software\Halvorn' "$entry /reg:32" \
    'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup /reg:64'; do
    # shellcheck disable=SC2086
    world_reg_query $key /s
  done
}

# cut_off NAME CONDITION [PAUSE]: a quiet install, killed once CONDITION (a shell test, tried every PAUSE
# seconds) holds.
cut_off() {
  local name=$1 condition=$2 pause=${3:-0.1}
  (cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost \
    >"$work/$name.exit") &
  local setup=$!
  for _ in $(seq "$(awk -v p="$pause" 'BEGIN { print int(60 / p) }')"); do
    eval "$condition" && break
    sleep "$pause"
  done
  eval "$condition" || fail "$name: the moment to cut the install off never came"
  pkill -9 -f 'NembricSetup\.exe' || true
  wait "$setup" 2>/dev/null || true
  cp "$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt" "$WORLD_BUILD/artefacts/cut-off-$name-record.txt" 2>/dev/null || true
}

# complete_and_uninstall NAME: the install again, to its end, then the quiet uninstall; then the machine
# is as the snapshot before the first run.
complete_and_uninstall() {
  local name=$1 status
  status=$(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost)
  [ "$status" = 0 ] || fail "$name: the install after the cut ended with $status"
  tr -d '\r' <"$work/$log_name" >"$WORLD_BUILD/artefacts/cut-off-$name.log"
  grep -qxF "$settled" "$WORLD_BUILD/artefacts/cut-off-$name.log" || fail "$name: the cut-off run was not settled"
  status=$(cd "$work" && world_exit_code "$WORLD_EXE" /quiet /uninstall /type=client)
  [ "$status" = 0 ] || fail "$name: the uninstall ended with $status"
  snapshot >"$work/after.txt"
  diff -u "$work/before.txt" "$work/after.txt" >"$work/$name.diff" ||
    { fail "$name: the machine is not as before"; cat "$work/$name.diff"; find "$drive_c/NembricAIApp" 2>/dev/null || true
      tr -d '\r' <"$work/$log_name" || true; cat "$WORLD_BUILD/artefacts/cut-off-$name-record.txt" || true; }
}

# cut_off_stepped NAME CONDITION: a quiet install let run in slices of about a millisecond and held still
# between them (SIGSTOP) while CONDITION is tried, then killed where it stands once CONDITION holds: the
# kill lands within a window that is shorter than any pause of a poll, on a machine of any speed.
cut_off_stepped() {
  local name=$1 condition=$2 pids='' slice
  (cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost \
    >"$work/$name.exit") &
  local setup=$!
  # The setup's own process: its command line is the Windows one, beginning with its path (the driver's
  # and winepath's name it further on).
  for _ in $(seq 600); do
    pids=$(pgrep -f '^"?[A-Za-z]:\\[^"]*NembricSetup\.exe' || true)
    [ -n "$pids" ] && break
    sleep 0.1
  done
  [ -n "$pids" ] || fail "$name: the setup never started"
  exec {slice}<> <(:)
  for _ in $(seq 200000); do
    # shellcheck disable=SC2086
    kill -STOP $pids 2>/dev/null || break
    eval "$condition" && break
    # shellcheck disable=SC2086
    kill -CONT $pids 2>/dev/null || break
    read -r -t 0.001 -u "$slice" _ || true
  done
  exec {slice}<&-
  eval "$condition" || fail "$name: the moment to cut the install off never came"
  # shellcheck disable=SC2086
  kill -9 $pids 2>/dev/null || true
  pkill -9 -f 'NembricSetup\.exe' || true
  wait "$setup" 2>/dev/null || true
  cp "$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt" "$WORLD_BUILD/artefacts/cut-off-$name-record.txt" 2>/dev/null || true
}

# cut_off_in_time NAME CONDITION LATE WHAT: a cut that must land in a short window (cut_off_stepped), then
# complete_and_uninstall. A kill that came too late all the same (the cut-off run's record matches LATE, a
# Perl pattern) cut off nothing to test: the install is uninstalled and tried again, five times at most.
cut_off_in_time() {
  local name=$1 condition=$2 late=$3 what=$4 attempt
  for attempt in 1 2 3 4 5; do
    prepare
    snapshot >"$work/before.txt"
    cut_off_stepped "$name" "$condition"
    if ! grep -qP "$late" "$WORLD_BUILD/artefacts/cut-off-$name-record.txt"; then
      complete_and_uninstall "$name"
      return
    fi
    echo "$name: attempt $attempt came after $what"
    (cd "$work" && world_exit_code "$WORLD_EXE" /quiet /uninstall /type=client >/dev/null)
  done
  fail "$name: every kill came after $what"
}

mkdir -p "$WORLD_BUILD/artefacts"

world_start_server --fault VC_redist.x64.exe=slow
prepare
snapshot >"$work/before.txt"
cut_off download 'grep -qF "Downloading;localhost;downloads/VC_redist.x64.exe" "$work/$log_name" 2>/dev/null'
world_stop_server
world_start_server
complete_and_uninstall download
world_stop_server

world_start_server
prepare
snapshot >"$work/before.txt"
echo 5 >"$control/VC_redist.x64.seconds"
cut_off installer '[ -s "$control/VC_redist.x64.log" ]'
# The installer finishes on its own.
for _ in $(seq 100); do
  [ -n "$("$WORLD_RUN" reg query 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64' /reg:32 2>/dev/null)" ] && break
  sleep 0.2
done
rm -f "$control/VC_redist.x64.seconds"
complete_and_uninstall installer
[ "$(grep -c . "$control/VC_redist.x64.log")" -eq 1 ] || fail "installer: the runtime was installed again"
grep -qxF 'Client Setup:Removed file c:\NembricAIApp\Update\VC_redist.x64.exe' "$WORLD_BUILD/artefacts/cut-off-installer.log" ||
  fail "installer: the package the cut-off run left was not taken back"
world_stop_server

# The same cut, and the install started again at once, as an administrator retries: the runtime installer of
# the cut run still runs, holding its package. The new run settles what it can, waits for the package the
# installer holds, and goes to its end; the uninstall then leaves the machine as before.
world_start_server
prepare
snapshot >"$work/before.txt"
echo 15 >"$control/VC_redist.x64.seconds"
# Not waited for: under Wine the installer keeps the cut run's output pipe open until it ends.
(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost >/dev/null) &
cut_run=$!
for _ in $(seq 600); do [ -s "$control/VC_redist.x64.log" ] && break; sleep 0.1; done
[ -s "$control/VC_redist.x64.log" ] || fail "installer-at-once: the runtime installer never started"
pkill -9 -f 'NembricSetup\.exe' || true
rm -f "$control/VC_redist.x64.seconds"
complete_and_uninstall installer-at-once
wait "$cut_run" 2>/dev/null || true
grep -qxF 'Client Setup:Getting VC_redist.x64.exe from server' "$WORLD_BUILD/artefacts/cut-off-installer-at-once.log" ||
  fail "installer-at-once: the new run did not meet the runtime still being installed"
world_stop_server

# Killed while the runtime installer runs and the client cabinet comes in beside it, slowly: the part the
# fetch ahead was writing is the run's, and the next run takes it back with the rest.
world_start_server --fault NembricAIAppSetup.cab=slow
prepare
snapshot >"$work/before.txt"
echo 5 >"$control/VC_redist.x64.seconds"
cut_off fetch-ahead '[ -s "$control/VC_redist.x64.log" ] && [ -e "$drive_c/NembricAIApp/Update/NembricAIAppSetup.cab.part" ]' 0.05
for _ in $(seq 100); do
  [ -n "$("$WORLD_RUN" reg query 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64' /reg:32 2>/dev/null)" ] && break
  sleep 0.2
done
rm -f "$control/VC_redist.x64.seconds"
world_stop_server
world_start_server
complete_and_uninstall fetch-ahead
grep -qxF 'Client Setup:Removed file c:\NembricAIApp\Update\NembricAIAppSetup.cab.part' "$WORLD_BUILD/artefacts/cut-off-fetch-ahead.log" ||
  fail "fetch-ahead: the part the cut-off run was fetching ahead was not taken back"
world_stop_server

# A client cabinet large enough that its extraction takes a moment, served from a copy of the packages.
large=$(mktemp -d)
trap 'world_stop_server; rm -rf "$large"' EXIT
cp "$WORLD_DOWNLOADS"/* "$large/"
mkdir "$large/stage"
python3 -c '
import sys
lines = b"".join(b"%08d posting journal balance warehouse article price\r\n" % i for i in range(1000))
sys.stdout.buffer.write((lines * (96 * 1024 * 1024 // len(lines) + 1))[: 96 << 20])' >"$large/stage/NembricAILarge.bin"
(cd "$large/stage" && gcab -z -c "$large/stage/NembricAIAppSetup.cab" NembricAILarge.bin)
world_sign "$large/stage/NembricAIAppSetup.cab" "$large/NembricAIAppSetup.cab"
rm -rf "$large/stage"
packages=$WORLD_DOWNLOADS
WORLD_DOWNLOADS=$large
world_start_server
cut_off_in_time extraction '[ -f "$drive_c/NembricAIApp/NembricAILarge.bin" ]' 'NembricAILarge\.bin\t[0-9]' \
  "the file was whole"
world_stop_server
WORLD_DOWNLOADS=$packages

# The uninstall entry's first value is in the record before it is written; the rest of the registration,
# the shortcut and the client's commit follow. A kill that came after the commit left nothing to take back:
# the install is uninstalled and tried again.
world_start_server
record="$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt"
cut_off_in_time registered 'grep -q "NembricClient.DisplayName" "$record" 2>/dev/null' '^client\tcommit\r?$' \
  "the client's commit"
grep -qxF 'Client Setup:Removed registry key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient' \
  "$WORLD_BUILD/artefacts/cut-off-registered.log" || fail "registered: the registration was not taken back"
world_stop_server

[ "$WORLD_FAILURES" -eq 0 ] && echo "cut off during a download, during the runtime installer, during the extraction and after the registration: settled, completed, uninstalled clean"
exit "$((WORLD_FAILURES > 0))"
