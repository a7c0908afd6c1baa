#!/usr/bin/env bash
# Starts NembricSetup.exe under Wine as a person would, once plainly and once as the uninstall entry's
# repair command, finds each dialog by its caption, keeps a screenshot of it and ends the process. Last, a
# start with no display: the setup ends and says why.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
world_need_display "$0" "$@"
exe=$WORLD_EXE
driver=$WORLD_DRIVER
run=$WORLD_RUN
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
work=$(mktemp -d)
setup_pid=
cleanup() {
  [ -n "$setup_pid" ] && kill "$setup_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# check_dialog NAME CAPTION [ARGUMENTS...]: starts the setup in a fresh folder and waits for its dialog.
check_dialog() {
  local name=$1 caption=$2
  shift 2
  rm -rf "${work:?}"/*
  (cd "$work" && exec "$run" "$exe" "$@") &
  setup_pid=$!
  if ! "$run" "$driver" window "$caption" 60000 -- controls >"$work/controls.txt"; then
    fail "$name: no window \"$caption\""
    return
  fi
  tr -d '\r' <"$work/controls.txt" >"$artefacts/$name-controls.txt"
  sleep 1
  import -window root "$artefacts/$name.png" || fail "$name: no screenshot"
  "$run" "$driver" window "$caption" -- kill >/dev/null || fail "$name: the setup process did not end"
  wait "$setup_pid" || true
  setup_pid=
  # A good start writes no log line.
  [ ! -e "$work/Halvorn NembricAI  Setup v10.1.3.Log" ] || fail "$name: a log was written"
}

check_dialog setup-dialog "Halvorn NembricAI Universal Setup"
for control in $'133\tStatic\t1\t1\tSetup Type' $'119\tComboBox\t1\t1' $'1\tButton\t1\t1\tOK' \
  $'139\tButton\t1\t1\t Proxy ' $'136\tButton\t1\t1\t Dark Mode '; do
  grep -Fq "$control" "$artefacts/setup-dialog-controls.txt" || fail "dialog 113 lacks \"$control\""
done

check_dialog maintenance-dialog "Uninstall, Modify or Repair" /repair /type=client
for control in $'2001\tButton\t1\t1\t&Uninstall' $'2002\tButton\t1\t1\t&Repair' $'2003\tButton\t1\t1\tServer' \
  $'136\tButton\t1\t1\t Dark Mode '; do
  grep -Fq "$control" "$artefacts/maintenance-dialog-controls.txt" || fail "dialog 2000 lacks \"$control\""
done

# At 150 % and 200 % scaling (the display's LogPixels), the dialog grows with its font; the screenshots show
# whether any text is clipped. The status line and the progress bar keep their places along its bottom.
for dpi in 144 192; do
  "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  check_dialog "setup-dialog-$dpi" "Halvorn NembricAI Universal Setup"
  grep -Fq $'1\tButton\t1\t1\tOK' "$artefacts/setup-dialog-$dpi-controls.txt" || fail "dialog 113 at $dpi dpi lacks OK"
done
"$run" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true

# The maintenance dialog answers the keys of any dialog: Tab moves between its buttons, Esc is Cancel,
# which asks whether to cancel (answered Cancel: the dialog stays), and Enter presses OK.
rm -rf "${work:?}"/*
(cd "$work" && exec "$run" "$exe" /repair /type=client) &
setup_pid=$!
if ! "$run" "$driver" window "Uninstall, Modify or Repair" 60000 -- key 2001 escape -- box cancel 5000 \
  >"$work/keys.txt"; then
  fail "maintenance dialog: Esc did not ask whether to cancel: $(tr -d '\r' <"$work/keys.txt")"
fi
grep -q "Do you want to Cancel" "$work/keys.txt" || fail "maintenance dialog: no cancel question"
"$run" "$driver" window "Uninstall, Modify or Repair" -- kill >/dev/null || true
wait "$setup_pid" || true
setup_pid=

# No display: Wine gives the process no display driver, as a run whose desktop process did not start in
# time gets none, and the dialog cannot be made. The setup says why and ends instead of waiting unseen with
# its turn held. A prefix of its own, so that no desktop of the tests' display is found.
rm -rf "${work:?}"/*
mkdir -p "$work/run"
status=0
(cd "$work/run" && env -u DISPLAY WINEPREFIX="$work/prefix" timeout 120 "$run" "$exe") >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "no display: exit code $status, not 1"
grep -qx $'User Interface:The setup window cannot be created. Error code = [0-9]*\r' \
  "$work/run/Halvorn NembricAI  Setup v10.1.3.Log" 2>/dev/null || fail "no display: the log does not say why"
WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true

if [ "$WORLD_FAILURES" -ne 0 ]; then
  echo "$WORLD_FAILURES failures; controls seen:"
  cat "$artefacts"/*-controls.txt
  exit 1
fi
echo "both dialogs shown; screenshots in $artefacts"
