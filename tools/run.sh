#!/usr/bin/env bash
# Builds NembricSetup.exe and starts it under Wine in the project's prefix. On the user's X display it
# stays until the user ends it; without a display it runs on a private Xvfb display, where a screenshot of
# the dialog is taken, its place printed, and everything started here is ended.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/bootstrap.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
exe="$root/build/windows/src/NembricSetup.exe"
driver="$root/build/windows/tests/e2e/uidriver.exe"
export WINEPREFIX="$root/build/wineprefix"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec tools/wine-run.sh "$exe" "$@"
fi

if [ -z "${NEMBRIC_HEADLESS_INNER:-}" ]; then
  NEMBRIC_HEADLESS_INNER=1 exec tools/with-display.sh "$0" "$@"
fi
shot="$root/build/artefacts/run-dialog.png"
mkdir -p "$(dirname "$shot")"
tools/wine-run.sh "$exe" "$@" &
setup=$!
trap 'kill $setup 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
caption="Halvorn NembricAI Universal Setup"
case " $* " in *uninstall* | *repair*) caption="Uninstall, Modify or Repair" ;; esac
tools/wine-run.sh "$driver" wait "$caption" 60000 >/dev/null
sleep 1
import -window root "$shot"
echo "The dialog \"$caption\" is shown; screenshot: $shot"
