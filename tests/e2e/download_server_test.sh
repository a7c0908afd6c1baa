#!/usr/bin/env bash
# The download server seen through the Windows WinHTTP stack under Wine: a whole cabinet with the
# setup's request form, and each injected fault as the Windows error it is.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
work=$(mktemp -d)
trap 'world_stop_server; rm -rf "$work"' EXIT
world_trust_ca

# expect_fetch HOST NAME PATTERN: the fetch prints a line matching PATTERN.
expect_fetch() {
  local out
  out=$("$WORLD_RUN" "$WORLD_FETCH" "$1" "$2" "$(world_winpath "$work/$2")" | tr -d '\r' || true)
  if [[ ! "$out" =~ $3 ]]; then
    echo "FAIL: $1 $2: \"$out\" does not match $3"
    WORLD_FAILURES=$((WORLD_FAILURES + 1))
  else
    echo "ok: $1 $2: $out"
  fi
}

world_start_server --fault HNembricAI2.cab=missing404 --fault HNembricAI3.cab=missing200 \
  --fault Nembric10App.cab=reset --fault HNembricAI1.cab=slow
size=$(stat -c %s "$WORLD_DOWNLOADS/Nembric10AppSetup.cab")
expect_fetch localhost Nembric10AppSetup.cab "^ok 200 $size\$"
cmp "$WORLD_DOWNLOADS/Nembric10AppSetup.cab" "$work/Nembric10AppSetup.cab" || { echo "FAIL: cabinet differs"; WORLD_FAILURES=$((WORLD_FAILURES + 1)); }
expect_fetch localhost HNembricAI2.cab '^ok 404 [0-9]+$'
grep -q 404 "$work/HNembricAI2.cab" || { echo "FAIL: no 404 page"; WORLD_FAILURES=$((WORLD_FAILURES + 1)); }
expect_fetch localhost HNembricAI3.cab '^ok 200 [0-9]+$'
grep -q 404 "$work/HNembricAI3.cab" || { echo "FAIL: no 404 page in the 200 answer"; WORLD_FAILURES=$((WORLD_FAILURES + 1)); }
expect_fetch localhost NoSuchPackage.cab '^ok 404 [0-9]+$'
# A reset in mid-body: Windows fails the read with ERROR_WINHTTP_CONNECTION_ERROR (12030); Wine's WinHTTP
# fails it with the socket's WSAECONNRESET (10054) or ends the body early without an error. Either way
# the package never arrives whole.
half=$(( $(stat -c %s "$WORLD_DOWNLOADS/Nembric10App.cab") / 2 ))
expect_fetch localhost Nembric10App.cab "^(error read (12030|10054) [0-9]+|ok 200 $half)\$"
# A body in small pieces over more than a second arrives whole.
size=$(stat -c %s "$WORLD_DOWNLOADS/HNembricAI1.cab")
expect_fetch localhost HNembricAI1.cab "^ok 200 $size\$"
grep -qx 'GET /downloads/Nembric10AppSetup.cab Accept=\*/\*' "$WORLD_REQUESTS" ||
  { echo "FAIL: request form: $(cat "$WORLD_REQUESTS")"; WORLD_FAILURES=$((WORLD_FAILURES + 1)); }
world_stop_server

# A certificate of another name: the send fails with ERROR_WINHTTP_SECURE_FAILURE (12175) on Windows,
# ERROR_WINHTTP_SECURE_CHANNEL_ERROR (12157) under Wine.
world_start_server --cert other
expect_fetch localhost Nembric10AppSetup.cab '^error send (12175|12157) 0$'
world_stop_server

# No server: ERROR_WINHTTP_CANNOT_CONNECT (12029).
expect_fetch localhost Nembric10AppSetup.cab '^error send 12029 0$'

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "download server: every fault seen as its Windows error"
