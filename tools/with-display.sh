#!/usr/bin/env bash
# Runs the command on the user's X display when there is one, otherwise on a private Xvfb display that
# ends with the command.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
