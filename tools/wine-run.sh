#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the project's own prefix (created on first use,
# kept under build/). Used by ctest as the emulator of the windows preset and by the run command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer offered; no winemenubuilder, which Wine starts for each shortcut saved in the
# Start menu and which, when the setup is killed right after, can wait for good on the test's output.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export WINEARCH=win64

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One creator at a time: parallel tests wait for the first one.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  flock -u 9
fi
# The tests' displays have no window manager. Wine's windows are left unmanaged, so that hiding one does
# not wait two seconds for a window manager to confirm it (once per prefix).
if [ ! -f "$WINEPREFIX/nembric-unmanaged" ]; then
  touch "$WINEPREFIX/nembric-unmanaged"
  "${BASH_SOURCE[0]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
    rm -f "$WINEPREFIX/nembric-unmanaged"
fi
# The 64-bit loader itself: the "wine" wrapper only adds a warning that no 32-bit Wine is installed.
if [ -x /usr/lib/wine/wine64 ]; then
  exec /usr/lib/wine/wine64 "$@"
fi
exec wine "$@"
