#!/usr/bin/env bash
# A person at dialog 113: types a setup type and a port, sees what was typed, presses Cancel and confirms
# the "Do you want to Cancel" question; the program ends with exit code 1602 (cancelled) and leaves no log.
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
(cd "$work" && world_exit_code "$WORLD_EXE" /source=localhost >"$work/exit.code") &
setup=$!
"$WORLD_RUN" "$WORLD_DRIVER" window "$caption" 60000 -- set 119 Server -- set 117 8080 -- get 119 -- get 117 \
  -- click 2 -- box cancel -- visible 1 -- click 2 -- box yes -- gone 20000 | tr -d '\r' >"$work/driver.out" ||
  fail "the driver stopped: $(tail -1 "$work/driver.out")"
cp "$work/driver.out" "$artefacts/cancel-driver.txt"

grep -qx $'text\t119\tServer' "$work/driver.out" || fail "Setup Type does not read back Server"
grep -qx $'text\t117\t8080' "$work/driver.out" || fail "Port does not read back 8080"
[ "$(grep -c $'^box\tHalvorn Nembric v 10.1\tDo you want to Cancel$' "$work/driver.out")" -eq 2 ] ||
  fail "not asked twice \"Do you want to Cancel\""
grep -qx $'visible\t1\t1' "$work/driver.out" || fail "cancelling the cancel did not return to the dialog"
wait "$setup" || true
setup=
status=$(cat "$work/exit.code")
[ "$status" = 1602 ] || fail "the setup ended with exit code $status, not 1602"
[ ! -e "$work/Halvorn NembricAI  Setup v10.1.3.Log" ] || fail "Cancel wrote a log"

[ "$WORLD_FAILURES" -eq 0 ] || { cat "$work/driver.out"; exit 1; }
echo "cancel: fields typed and read back, the question answered, exit code 1602"
