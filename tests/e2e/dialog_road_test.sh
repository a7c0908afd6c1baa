#!/usr/bin/env bash
# A person's road through dialog 113: BitSize "AI Client" fills the client directories, Setup Type
# "Server" shows the server group, a bad port is refused with its message and the user stays in the field
# with the text selected, a good port moves on, Dark Mode and back, Proxy, F4 in a directory field, OK with
# two different passwords sends the user back to Re-enter Password with its text selected, and Cancel
# answered with No ends the program with exit code 1602 (cancelled). Screenshots of both themes are kept.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
work=$(mktemp -d)
setup=
trap '[ -n "$setup" ] && kill "$setup" 2>/dev/null; rm -rf "$work"' EXIT
caption="Halvorn NembricAI Universal Setup"
drive() {
  "$WORLD_RUN" "$WORLD_DRIVER" window "$caption" 60000 -- "$@" | tr -d '\r' | tee -a "$work/driver.out"
}
expect() {
  grep -qxF -- "$1" "$work/driver.out" || fail "expected \"$1\""
}

(cd "$work" && world_exit_code "$WORLD_EXE" /source=localhost >"$work/exit.code") &
setup=$!

drive visible 117 -- set 116 "AI Client" -- key 116 tab -- items 120 -- get 120 -- focus \
  -- set 119 Server -- key 119 tab -- visible 117 -- visible 120 -- visible 124 -- status \
  -- set 117 79 -- key 117 enter -- box ok -- focus -- get 117 \
  -- set 117 8080 -- key 117 tab -- focus -- click 136 >/dev/null || fail "the driver stopped"
sleep 1
import -window root "$artefacts/setup-dialog-dark.png"
drive click 136 -- visible 138 -- click 139 -- visible 137 -- visible 138 -- key 114 f4 >/dev/null ||
  fail "the driver stopped"
# The folder picker: the person types a folder into its name field and confirms it.
mkdir -p "$WINEPREFIX/drive_c/Nembric Picked Server"
# The picker may still be filling its views when it first shows; a confirmation it lost is given again.
picked=
for _ in 1 2 3; do
  if "$WORLD_RUN" "$WORLD_DRIVER" window "Select Nembric installation folder" 20000 -- sleep 1000 \
    -- set 1152 'C:\Nembric Picked Server' -- click 1 -- gone 5000 | tr -d '\r' >>"$work/driver.out"; then
    picked=yes
    break
  fi
done
[ -n "$picked" ] || fail "the folder picker did not take the folder"
drive get 114 -- focus -- set 122 'Nemb1c$x' -- set 123 'Nemb1c$y' -- click 1 -- box ok -- focus \
  -- click 2 -- box no -- gone 20000 >/dev/null || fail "the driver stopped"
cp "$work/driver.out" "$artefacts/dialog-road-driver.txt"

expect $'visible\t117\t0'
expect $'item\t120\t0\tc:\\NembricAIApp'
expect $'item\t120\t1\tc:\\Program Files\\Halvorn\\NembricAIApp\\'
expect $'item\t120\t2\td:\\NembricAIApp'
expect $'text\t120\tc:\\NembricAIApp'
expect $'focus\t120\t0\t15'
expect $'visible\t117\t1'
expect $'visible\t120\t0'
expect $'visible\t124\t1'  # Wine has no SQL Server, so the SQL fields stay
expect $'status\tUser Interface:Checking whether SQL Server installed'
expect $'box\tHalvorn Nembric Version 10.1 App\tPlease select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom'
expect $'focus\t117\t0\t2'
expect $'text\t117\t79'
expect $'focus\t118\t0\t0'
expect $'visible\t138\t0'
expect $'visible\t137\t1'
expect $'visible\t138\t1'
expect $'window\tSelect Nembric installation folder\tprocess '"$(sed -n 's/^window\t.*\tprocess //p' "$work/driver.out" | head -1)"
expect $'text\t114\tC:\\Nembric Picked Server'
expect $'focus\t115\t0\t0'  # the next field: Search
expect $'box\tHalvorn Nembric Version 10.1 App\tPasswords dont mach'
expect $'focus\t123\t0\t8'  # Re-enter Password, its whole text selected
expect $'box\tHalvorn Nembric v 10.1\tDo you want to Cancel'
expect 'gone'
wait "$setup" || true
setup=
status=$(cat "$work/exit.code")
[ "$status" = 1602 ] || fail "the setup ended with exit code $status, not 1602"
grep -qx 'User Interface:Checking whether SQL Server installed' <(tr -d '\r' <"$work/Halvorn NembricAI  Setup v10.1.3.Log") ||
  fail "the log lacks the detection line"
! grep -q 'Nemb1c' "$work/Halvorn NembricAI  Setup v10.1.3.Log" || fail "a password reached the log"

[ "$WORLD_FAILURES" -eq 0 ] || { cat "$work/driver.out"; exit 1; }
echo "dialog road: every step as a person sees it; screenshots in $artefacts"
