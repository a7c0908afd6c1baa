#!/usr/bin/env bash
# Unattended runs as a distribution tool starts them: no person, no UI driver at any dialog.
#   quiet      /quiet /answers= installs the AI client: the log line by line, registry, files, exit code 0,
#              and no window of the setup ever seen; a second setup started meanwhile ends with 1618 and
#              changes nothing
#   uninstall  the QuietUninstallString from the registry runs without a window and ends with 0: every
#              file, folder, key and value of the install is gone, the shortcut too; a file the person
#              added stays with its folder; the installed setup program goes once the run has ended
#   bad        answers with a value outside its list end with 87 and leave the machine untouched
#   restart    a runtime installer exiting 3010 makes the run end with 3010
#   failed-ahead  the runtime installer fails while the client cabinet comes in beside it: the run ends
#              with 1603 and nothing of the cabinet, its part or the client's folder is left
#   resume     the runtime installer's connection is reset after half its bytes: the next attempt asks
#              for the rest with a range, the installer arrives whole and runs, the run ends with 0
#   digest     a runtime installer whose published digest is wrong, and a cabinet with a changed byte, are
#              refused five times each and never run or extracted; the run ends with 1603
#   publisher  a runtime installer and a cabinet that are unsigned, signed by a publisher of another
#              authority, or (the installer) changed after signing, each published with its right digest:
#              neither is started or extracted, a line names each, the run ends with 1603
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricE2E"
control="$drive_c/NembricTest"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
watcher=
trap '[ -n "$watcher" ] && kill "$watcher" 2>/dev/null; world_stop_server' EXIT

prepare() {
  rm -rf "$work" "$control" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"
  mkdir -p "$work" "$control"
  world_forget_ai_client
  printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$work/ai.ini"
}

# quiet NAME EXPECTED_EXIT ARGUMENTS...: the setup run from the work folder, its output kept.
quiet() {
  local name=$1 expected=$2 status
  shift 2
  status=$(cd "$work" && world_exit_code "$@" 2>"$work/$name.stderr")
  [ "$status" = "$expected" ] || fail "$name: exit code $status, not $expected"
}

# The AI client, quietly, with the runtime missing; the packages come slowly, so that a second setup and
# the window watch meet the first one running.
world_start_server --fault VC_redist.x64.exe=slow --fault NembricAIAppSetup.cab=slow
prepare
"$WORLD_RUN" "$WORLD_DRIVER" watch NembricSetup.exe 15000 | tr -d '\r' >"$work/watch.out" &
watcher=$!
(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost \
  >"$work/quiet.exit") &
first=$!
for _ in $(seq 200); do
  grep -qs 'Begin updating Software' "$work/$log_name" && break
  sleep 0.1
done
quiet second 1618 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost '/log=C:\NembricE2E\second.log'
wait "$first" || true
[ "$(cat "$work/quiet.exit")" = 0 ] || fail "quiet: exit code $(cat "$work/quiet.exit"), not 0"
wait "$watcher" || true
watcher=
cp "$work/watch.out" "$artefacts/quiet-watch.txt"
tr -d '\r' <"$work/$log_name" >"$artefacts/quiet.log" 2>/dev/null || fail "quiet: no log"
printf '%s\n' "Server Setup:Establishing Session" "Server Setup:Established Session without Proxy:" \
  "User Interface:Begin updating Software" "Client Setup:Beging Updating Client Setup" \
  "Client Setup:Checking for Pre-requisite" "Client Setup:Getting VC_redist.x64.exe from server" \
  "Client Setup:Downloading;localhost;downloads/VC_redist.x64.exe" \
  "Client Setup:Downloaded;localhost;downloads/VC_redist.x64.exe" \
  "Client Setup:Getting NembricAIAppSetup.cab from server" \
  "Client Setup:Downloading;localhost;downloads/NembricAIAppSetup.cab" \
  "Client Setup:Downloaded;localhost;downloads/NembricAIAppSetup.cab" "Client Setup:Updated Client Software" \
  "User Interface:Successfully updated Software" >"$work/quiet.expected"
diff -u "$work/quiet.expected" "$artefacts/quiet.log" || fail "quiet: the log differs"
grep -q $'^watched\t[1-9][0-9]*\t0$' "$work/watch.out" ||
  fail "quiet: the watch saw no setup running, or a window of it: $(tail -3 "$work/watch.out")"
grep -qxF "User Interface:Another Halvorn Nembric setup is running. Please wait until it has ended, then start this setup again" \
  <(tr -d '\r' <"$work/second.log") || fail "second: no line saying another setup runs"
[ "$(grep -c . "$control/VC_redist.x64.log")" -eq 1 ] || fail "second: the runtime installer ran again"
setup_path='C:\Program Files\Halvorn\NembricAI\NembricSetup.exe'
for pair in "DisplayName=NembricAI" "UninstallString=\"$setup_path\" /uninstall /type=client" \
  "QuietUninstallString=\"$setup_path\" /uninstall /type=client /quiet" "DisplayVersion=10.1" \
  'InstallLocation=c:\NembricAIApp\'; do
  [ "$(reg_value 32 "$entry" "${pair%%=*}")" = "${pair#*=}" ] || fail "quiet: ${pair%%=*}"
done
[[ "$(reg_value 32 "$entry" InstallDate)" =~ ^20[0-9]{6}$ ]] || fail "quiet: InstallDate"
[[ "$(reg_value 32 "$entry" EstimatedSize)" =~ ^0x[0-9a-f]+$ ]] && [ "$(($(reg_value 32 "$entry" EstimatedSize)))" -gt 0 ] ||
  fail "quiet: EstimatedSize"
for file in NembricAI.exe NembricAI-models.txt ReadMe.txt; do
  [ -f "$drive_c/NembricAIApp/$file" ] || fail "quiet: $file not extracted"
done
world_stop_server

# The quiet uninstall command, as the registry gives it.
world_start_server
[ -f "$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt" ] || fail "quiet: no install record"
cp "$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt" "$artefacts/quiet-install-record.txt" || true
echo "the person's own notes" >"$drive_c/NembricAIApp/notes.txt"
command=$(reg_value 32 "$entry" QuietUninstallString)
eval "command=($command)"
rm -f "$work/$log_name"
quiet uninstall 0 "${command[@]}"
tr -d '\r' <"$work/$log_name" >"$artefacts/quiet-uninstall.log"
grep -qxF "User Interface:Successfully uninstalled Software" "$artefacts/quiet-uninstall.log" ||
  fail "uninstall: not uninstalled quietly"
grep -qxF 'Client Setup:Removed file c:\NembricAIApp\NembricAI.exe' "$artefacts/quiet-uninstall.log" ||
  fail "uninstall: no line for a removed file"
grep -qxF 'Client Setup:Kept folder that is not empty c:\NembricAIApp' "$artefacts/quiet-uninstall.log" ||
  fail "uninstall: no line for the folder kept"
left=$(cd "$drive_c/NembricAIApp" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./notes.txt " ] || fail "uninstall: the client folder holds more than the person's file: $left"
[ -z "$(reg_value 32 "$entry" DisplayName)" ] || fail "uninstall: the uninstall entry is still there"
[[ "$(world_reg_query 'HKCU\Software\Halvorn')" == absent:* ]] || fail "uninstall: the client's key is still there"
[[ "$(world_reg_query 'HKLM\SOFTWARE\Halvorn' /reg:64)" == absent:* ]] || fail "uninstall: the product key is still there"
[ ! -e "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Halvorn NembricAI.lnk" ] ||
  fail "uninstall: the shortcut is still there"
# The installed program goes once the run that it is has ended.
for _ in $(seq 50); do
  [ -e "$drive_c/Program Files/Halvorn/NembricAI" ] || break
  sleep 0.2
done
[ ! -e "$drive_c/Program Files/Halvorn/NembricAI" ] ||
  fail "uninstall: the setup folder stays: $(ls "$drive_c/Program Files/Halvorn/NembricAI")"

# A value outside its list: 87, and nothing fetched or changed.
prepare
printf '[Setup]\nSetupType=Client\nBitSize=128 Bit\n' >"$work/bad.ini"
requests_before=$(wc -l <"$WORLD_REQUESTS")
quiet bad 87 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\bad.ini' /source=localhost
grep -qxF 'User Interface:Answer file C:\NembricE2E\bad.ini, line 3, key BitSize: the value is not one of 64 Bit, AI Client, 32 Bit' \
  <(tr -d '\r' <"$work/$log_name") || fail "bad: the log does not name the file, line and key"
[ "$(wc -l <"$WORLD_REQUESTS")" -eq "$requests_before" ] || fail "bad: something was fetched"
[ ! -e "$drive_c/Program Files/Halvorn" ] && [ ! -e "$drive_c/NembricAIApp" ] || fail "bad: files were written"
[ -z "$(reg_value 32 "$entry" DisplayName)" ] || fail "bad: an uninstall entry was written"

# A runtime installer that asks for a restart.
prepare
echo 3010 >"$control/VC_redist.x64.exitcode"
quiet restart 3010 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost
grep -qxF "User Interface:An installer asked for a restart of Windows to complete the setup" \
  <(tr -d '\r' <"$work/$log_name") || fail "restart: no restart line"

# The runtime installer fails while the client cabinet still comes in beside it: the client fails, and what
# came in ahead goes with it at the run's end.
world_stop_server
world_start_server --fault NembricAIAppSetup.cab=crawl
prepare
echo 1603 >"$control/VC_redist.x64.exitcode"
(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost \
  >"$work/failed-ahead.exit") &
run=$!
in_flight=
for _ in $(seq 600); do
  if grep -qsF "Client Setup:Could not install VC_redist.x64.exe after 5 attempts" "$work/$log_name"; then
    [ -e "$drive_c/NembricAIApp/Update/NembricAIAppSetup.cab.part" ] && in_flight=yes
    break
  fi
  sleep 0.1
done
wait "$run" || true
tr -d '\r' <"$work/$log_name" >"$artefacts/quiet-failed-ahead.log"
[ "$(cat "$work/failed-ahead.exit")" = 1603 ] || fail "failed-ahead: exit code $(cat "$work/failed-ahead.exit"), not 1603"
[ -n "$in_flight" ] || fail "failed-ahead: the cabinet was not coming in when the client failed"
grep -qxF 'Client Setup:Removed file c:\NembricAIApp\Update\NembricAIAppSetup.cab' "$artefacts/quiet-failed-ahead.log" ||
  fail "failed-ahead: no line takes back the cabinet that came in ahead"
[ ! -e "$drive_c/NembricAIApp" ] || fail "failed-ahead: left $(cd "$drive_c/NembricAIApp" && find . | tr '\n' ' ')"

world_stop_server
world_start_server --fault VC_redist.x64.exe=resetonce
prepare
quiet resume 0 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost
tr -d '\r' <"$work/$log_name" >"$artefacts/quiet-resume.log"
# Wine's WinHTTP drops the bytes of the read that meets the reset: the part holds the reads before it.
kept=$(sed -n 's/^Client Setup:Download of VC_redist.x64.exe broke off after \([0-9]*\) bytes$/\1/p' "$artefacts/quiet-resume.log")
[ -n "$kept" ] && [ "$kept" -gt 0 ] && grep -qE '^Client Setup:WinHTTP error [0-9]+: .' "$artefacts/quiet-resume.log" ||
  fail "resume: the broken transfer is not logged with the bytes kept and its error"
grep -qxF "GET /downloads/VC_redist.x64.exe Accept=*/* Range=bytes=$kept-" "$WORLD_REQUESTS" ||
  fail "resume: no range request for the rest: $(grep VC_redist "$WORLD_REQUESTS")"
grep -qxF "Client Setup:Downloaded;localhost;downloads/VC_redist.x64.exe" "$artefacts/quiet-resume.log" ||
  fail "resume: the runtime was not downloaded"
cmp -s "$WORLD_DOWNLOADS/VC_redist.x64.exe" "$drive_c/NembricAIApp/Update/VC_redist.x64.exe" ||
  fail "resume: the saved runtime installer differs from the server's"
[ ! -e "$drive_c/NembricAIApp/Update/VC_redist.x64.exe.part" ] || fail "resume: the part was left behind"
# The published digest was asked for, and the resumed body, hashed over both requests, matched it.
grep -qxF "GET /downloads/VC_redist.x64.exe.sha256 Accept=*/*" "$WORLD_REQUESTS" ||
  fail "resume: the digest was not asked for"
! grep -qF "does not match its published SHA-256 digest" "$artefacts/quiet-resume.log" ||
  fail "resume: the resumed package did not match its digest"
[ "$(grep -c . "$control/VC_redist.x64.log")" -eq 1 ] || fail "resume: the installer did not run once, whole"

world_stop_server
world_start_server --fault VC_redist.x64.exe=wrongdigest --fault NembricAIAppSetup.cab=corrupt
prepare
quiet digest 1603 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost
tr -d '\r' <"$work/$log_name" >"$artefacts/quiet-digest.log"
for package in VC_redist.x64.exe NembricAIAppSetup.cab; do
  [ "$(grep -cxF "Client Setup:Download of $package does not match its published SHA-256 digest" "$artefacts/quiet-digest.log")" -eq 5 ] ||
    fail "digest: $package is not refused five times"
  [ ! -e "$drive_c/NembricAIApp/Update/$package" ] || fail "digest: $package is kept"
done
grep -qxF "Client Setup:Could not install VC_redist.x64.exe after 5 attempts" "$artefacts/quiet-digest.log" &&
  grep -qxF "Client Setup:Could not extract NembricAIAppSetup.cab after 5 attempts" "$artefacts/quiet-digest.log" ||
  fail "digest: the failed packages are not logged"
[ ! -s "$control/VC_redist.x64.log" ] || fail "digest: the runtime installer ran"
[ ! -e "$drive_c/NembricAIApp/NembricAI.exe" ] || fail "digest: the changed cabinet was extracted"

world_stop_server
# The same package set but for the client's runtime installer and cabinet, as no pinned publisher made them.
signed_downloads=$WORLD_DOWNLOADS
for variant in unsigned:unsigned other:"publisher not pinned" tampered:"signature invalid (0x80096010)"; do
  name=${variant%%:*}
  reason=${variant#*:}
  WORLD_DOWNLOADS="$WORLD_BUILD/packages/publisher-$name"
  rm -rf "$WORLD_DOWNLOADS"
  mkdir -p "$WORLD_DOWNLOADS"
  cp "$signed_downloads"/* "$WORLD_DOWNLOADS/"
  cp "$signed_downloads/../variants/$name"/* "$WORLD_DOWNLOADS/"
  world_start_server
  prepare
  quiet "publisher-$name" 1603 "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost
  world_stop_server
  tr -d '\r' <"$work/$log_name" >"$artefacts/quiet-publisher-$name.log"
  grep -qxF "Client Setup:Refused VC_redist.x64.exe: $reason" "$artefacts/quiet-publisher-$name.log" ||
    fail "publisher $name: no line refusing the runtime installer: $(grep Refused "$artefacts/quiet-publisher-$name.log")"
  [ ! -s "$control/VC_redist.x64.log" ] || fail "publisher $name: the runtime installer was started"
  [ ! -e "$drive_c/NembricAIApp/Update/VC_redist.x64.exe" ] || fail "publisher $name: the refused installer is kept"
  if [ -e "$signed_downloads/../variants/$name/NembricAIAppSetup.cab" ]; then
    grep -qxF "Client Setup:Refused NembricAIAppSetup.cab: $reason" "$artefacts/quiet-publisher-$name.log" ||
      fail "publisher $name: no line refusing the cabinet"
    [ ! -e "$drive_c/NembricAIApp/NembricAI.exe" ] || fail "publisher $name: the cabinet was extracted"
  fi
  rm -rf "$WORLD_DOWNLOADS"
done
WORLD_DOWNLOADS=$signed_downloads

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "quiet: installed without a window, a second setup refused, uninstall, bad answers, restart, a failure with a fetch ahead, resume, digests, publishers"
