#!/usr/bin/env bash
# Builds NembricSetup.exe with its package set, starts the local HTTPS download server, trusts its test CA
# inside the project's Wine prefix (build/wineprefix) and starts the setup there with /source=localhost and
# any further arguments given here. On the user's X display the setup stays until the user ends it; without
# a display it runs on a private Xvfb display, a screenshot of the dialog is taken and its place printed,
# and everything started here is ended.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [ -z "${NEMBRIC_RUN_INNER:-}" ]; then
  tools/bootstrap.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  if ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
    NEMBRIC_RUN_INNER=headless exec tools/with-display.sh "$0" "$@"
  fi
fi

source tests/e2e/world.sh
world_init build/windows
setup=
finish() {
  [ -n "$setup" ] && kill "$setup" 2>/dev/null
  world_stop_server
  wineserver -k 2>/dev/null || true
}
trap finish EXIT
world_trust_ca
world_start_server

caption="Halvorn NembricAI Universal Setup"
case " $* " in *uninstall* | *repair*) caption="Uninstall, Modify or Repair" ;; esac
mkdir -p "$root/build/run"
(cd "$root/build/run" && exec "$WORLD_RUN" "$WORLD_EXE" /source=localhost "$@") &
setup=$!

if [ "${NEMBRIC_RUN_INNER:-}" != headless ]; then
  echo "NembricSetup.exe runs on $DISPLAY against https://localhost/downloads/; its log goes to build/run/."
  wait "$setup" || true
  setup=
  exit 0
fi
"$WORLD_RUN" "$WORLD_DRIVER" window "$caption" 60000 >/dev/null
sleep 1
shot="$root/build/artefacts/run-dialog.png"
mkdir -p "$(dirname "$shot")"
import -window root "$shot"
echo "The dialog \"$caption\" was shown (no display here); screenshot: $shot"
