#!/usr/bin/env bash
# The passive mode and the pre-flight check, under Wine:
#   passive  /passive installs the AI client from the answers with a small window that shows the status
#            line and the progress bar (screenshot passive-window.png), no field of the main dialog and no
#            box; exit code 0
#   check    /check=FILE with a server on port 80, against the test's admin manager whose "Default Web Site"
#            binds that port: the port line says which site holds it and where its binding would move, the
#            JSON file holds every line and says whether the run would go ahead, as the exit code does
#            (0, or 1603 with the failing lines); nothing is installed
#   dialog   the check from the main dialog's window menu: the report in a box over the dialog
#   full     a client on a drive with no room (a one-page tmpfs, where the machine allows mounting one)
#   offline  the same check with the download server stopped: the source line fails, exit code 1603
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricDeploy"
iis="$drive_c/NembricIIS"
log="$work/Halvorn NembricAI  Setup v10.1.3.Log"
artefacts="$WORLD_BUILD/artefacts"
key='HKLM\Software\Classes\CLSID\{2B72133B-3F5B-4602-8952-803546CE3344}\InProcServer32'
setup=
small="$WORLD_BUILD/small-drive"
cleanup() {
  [ -n "$setup" ] && kill "$setup" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/s:"
  umount "$small" 2>/dev/null || true
  "$WORLD_RUN" reg delete "${key%\\InProcServer32}" /f /reg:64 >/dev/null 2>&1 || true
  world_stop_server
}
trap cleanup EXIT
mkdir -p "$artefacts"
rm -rf "$work" "$iis" "$drive_c/NembricAIApp" "$drive_c/HNembricAI"
mkdir -p "$work" "$iis"
world_forget_ai_client
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$work/ai.ini"

# The runtime comes slowly, so that the window can be seen while the run goes.
world_start_server --fault VC_redist.x64.exe=slow
(cd "$work" && world_exit_code "$WORLD_EXE" /passive '/answers=C:\NembricDeploy\ai.ini' /source=localhost \
  >"$work/passive.exit") &
setup=$!
if "$WORLD_RUN" "$WORLD_DRIVER" window "Halvorn NembricAI Universal Setup" 60000 -- controls \
  >"$work/passive.controls"; then
  sleep 1
  import -window root "$artefacts/passive-window.png" || fail "passive: no screenshot"
  tr -d '\r' <"$work/passive.controls" >"$artefacts/passive-window-controls.txt"
  grep -q $'^40002\tmsctls_progress32\t1' "$artefacts/passive-window-controls.txt" || fail "passive: no progress bar"
  ! grep -q $'^119\t' "$artefacts/passive-window-controls.txt" || fail "passive: the main dialog was shown"
else
  fail "passive: no window"
fi
wait "$setup" || true
setup=
[ "$(cat "$work/passive.exit")" = 0 ] || fail "passive: exit code $(cat "$work/passive.exit"), not 0"
tr -d '\r' <"$log" >"$artefacts/passive.log"
[ -e "$drive_c/NembricAIApp/NembricAI.exe" ] || fail "passive: the client was not installed"
(cd "$work" && world_exit_code "$WORLD_EXE" /quiet /uninstall /type=client >/dev/null)
world_stop_server

# check NAME: /check=FILE of a "Both" install on port 80; the output, the log and the JSON kept.
check() {
  local name=$1 status
  rm -f "$log" "$work/$name.json"
  status=$(cd "$work" && WORLD_OUTPUT="$work/$name.out" world_exit_code "$WORLD_EXE" \
    '/check=C:\NembricDeploy\'"$name"'.json' '/answers=C:\NembricDeploy\both.ini' /source=localhost)
  cp "$work/$name.out" "$artefacts/check-$name.out"
  tr -d '\r' <"$log" >"$artefacts/check-$name.log"
  python3 - "$work/$name.json" "$status" <<'PY' || fail "$name: the JSON report does not hold"
import json, sys
report = json.load(open(sys.argv[1], encoding="ascii"))
failed = [c["name"] for c in report["checks"] if c["result"] == "FAIL"]
assert report["wouldGoAhead"] == (not failed), report
assert sys.argv[2] == ("0" if not failed else "1603"), (sys.argv[2], failed)
assert all(c["result"] in ("OK", "WARN", "FAIL") and c["figure"] for c in report["checks"]), report
PY
  [ ! -e "$drive_c/HNembricAI" ] || fail "$name: the check installed something"
  echo "$status"
}
printf '[Setup]\r\nSetupType = Both\r\nBitSize = AI Client\r\nPort = 80\r\nInstallSqlServer = No\r\n' >"$work/both.ini"
cp "$WORLD_BUILD/tests/e2e/iis_admin_server.dll" "$iis/"
world_reg_add "$key" /ve /d 'C:\NembricIIS\iis_admin_server.dll' /f /reg:64
world_reg_add "$key" /v ThreadingModel /d Both /f /reg:64
world_start_server
check online >/dev/null
grep -qxF 'WARN Website port 80: held by the site "Default Web Site": its binding *:80: would move to *:8080:' \
  "$artefacts/check-online.out" || fail "online: the port line does not name the site and the move"
grep -q '^OK   Package source: https://localhost directly, certificate valid: [0-9]* packages\?, ' \
  "$artefacts/check-online.out" || fail "online: the source line is not OK"
grep -q '^[A-Z ]\{4\} Free space on C:\\: .* needed, .* free' "$artefacts/check-online.out" ||
  fail "online: no free-space line"
grep -q '^Check:OK   Package source: ' "$artefacts/check-online.log" || fail "online: the log lacks the lines"

# The same check from the main dialog's window menu, for the fields a person typed: a box over the dialog,
# which stays; the log keeps only the session's lines.
rm -f "$log"
(cd "$work" && world_exit_code "$WORLD_EXE" /source=localhost >"$work/dialog.exit") &
setup=$!
"$WORLD_RUN" "$WORLD_DRIVER" window "Halvorn NembricAI Universal Setup" 60000 -- set 119 Client \
  -- key 119 tab -- set 116 "AI Client" -- key 116 tab -- syscommand 16 -- box ok 60000 \
  -- window "Halvorn NembricAI Universal Setup" -- click 2 -- box yes | tr -d '\r' >"$artefacts/check-dialog.txt" ||
  fail "dialog: the driver stopped"
wait "$setup" || true
setup=
grep -q $'^box\t.*\tOK   Administrator rights: ' "$artefacts/check-dialog.txt" || fail "dialog: the box holds no report"
grep -q '^The setup would' "$artefacts/check-dialog.txt" || fail "dialog: the report has no verdict"
! grep -q '^Check:' "$log" || fail "dialog: the check was logged"

# A full drive: a tmpfs of one page as drive S:, where this machine lets the test mount one (the host test
# covers a full drive everywhere).
mkdir -p "$small"
if mount -t tmpfs -o size=4k tmpfs "$small" 2>/dev/null; then
  ln -sfn "$small" "$WINEPREFIX/dosdevices/s:"
  printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\nClientDirectory = S:\\Nembric\r\n' >"$work/full.ini"
  status=$(cd "$work" && WORLD_OUTPUT="$work/full.out" world_exit_code "$WORLD_EXE" /check \
    '/answers=C:\NembricDeploy\full.ini' /source=localhost)
  tr -d '\r' <"$work/full.out" >"$artefacts/check-full-drive.out"
  grep -q '^FAIL Free space on S:\\: .* needed, 0.0 MB free' "$artefacts/check-full-drive.out" ||
    fail "full drive: the free-space line does not fail"
  [ "$status" = 1603 ] || fail "full drive: exit code $status, not 1603"
  rm -f "$WINEPREFIX/dosdevices/s:"
  umount "$small"
else
  echo "deploy: no drive can be mounted here; the full drive is the host test's"
fi
world_stop_server
[ "$(check offline)" = 1603 ] || fail "offline: the check did not fail"
grep -q '^FAIL Package source: https://localhost cannot be reached' "$artefacts/check-offline.out" ||
  fail "offline: the source line does not fail"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "deploy: a passive run shows its progress and asks nothing; the check reports the held port and the source, as lines and JSON"
