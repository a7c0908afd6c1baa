# The world the setup runs in, for the end-to-end tests and the run command: the Wine prefix with the
# test CA trusted, the package set, and the local HTTPS download server. Sourced, not run.
# world_init BUILD_DIR must come first.

world_init() {
  WORLD_BUILD=$(realpath "$1")
  WORLD_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  WORLD_RUN="$WORLD_ROOT/tools/wine-run.sh"
  export WINEPREFIX="${WINEPREFIX:-$WORLD_ROOT/build/wineprefix}"
  WORLD_EXE="$WORLD_BUILD/src/NembricSetup.exe"
  WORLD_DRIVER="$WORLD_BUILD/tests/e2e/uidriver.exe"
  WORLD_FETCH="$WORLD_BUILD/tests/e2e/httpfetch.exe"
  WORLD_TLS="$WORLD_BUILD/tls"
  WORLD_DOWNLOADS="$WORLD_BUILD/packages/downloads"
  WORLD_SERVER_PID=
  # A command that stops the test (set -e) says so, instead of the test ending without a word.
  set -E
  trap 'world_stopped $? "$BASH_COMMAND" "$LINENO"' ERR
  world_wait_setups_ended
}

# world_stopped STATUS COMMAND LINE: the ERR trap. Only in the test's own shell: a command in a command
# substitution may fail where its caller looks at its output alone.
world_stopped() {
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  echo "stopped: line $3: $2 (exit $1)" >&2
}

# world_reg_add ARGUMENTS...: reg add in the prefix; said and tried again (three times in all) when it
# fails, as a Wine start can under load.
world_reg_add() {
  local attempt output
  for attempt in 1 2 3; do
    output=$("$WORLD_RUN" reg add "$@" 2>&1) && return 0
    echo "reg add $1: $(tr -d '\r' <<<"$output") (attempt $attempt)" >&2
    sleep 1
  done
  return 1
}

# The command lines of the setup programs the tests start (and of run_exit.exe starting one).
WORLD_SETUP_PATTERN='NembricSetup[^ ]*\.exe'

# world_setups_gone TENTHS: waits up to TENTHS tenths of a second until no setup program runs; false when
# one still does.
world_setups_gone() {
  local _
  for _ in $(seq "$1"); do
    pgrep -f "$WORLD_SETUP_PATTERN" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# world_wait_setups_ended: waits (up to 60 s) until no setup program an earlier test started still runs. A
# setup still ending under load keeps its turn (the instance mutex): the next test's setup would find it
# taken and wait at its "another setup" box for a person who never comes.
world_wait_setups_ended() {
  command -v pgrep >/dev/null || return 0
  world_setups_gone 600 && return 0
  echo "a setup program of an earlier test still runs, ended now: $(pgrep -af "$WORLD_SETUP_PATTERN" | head -3)" >&2
  world_end_setups
}

# world_end_setups: ends every setup program still running in the prefix, as a kill in the task manager
# would. A setup left waiting for a person who never comes (a driver that stopped) would otherwise hold the
# turn of every later one.
world_end_setups() {
  pkill -KILL -f "$WORLD_SETUP_PATTERN" 2>/dev/null || true
  world_setups_gone 50 || true
}

# world_hold_desktop: makes Wine start the desktop process now, before a program whose window a test
# waits for, and keeps it (and the Wine server) until this test's shell ends. Under load the desktop's start
# can outlast the wait of a program that needs it, and that program can then make no window at all. The
# holder watches this shell's /proc entry through Wine's Z: drive, so it ends with the test however the test
# ends. Tried three times; a desktop that cannot be held is said, and the test goes on.
world_hold_desktop() {
  [ -n "${WORLD_DESKTOP_HELD:-}" ] && return 0
  local output attempt _
  output=$(mktemp)
  for attempt in 1 2 3; do
    "$WORLD_RUN" "$WORLD_DRIVER" hold "Z:\\proc\\$$" </dev/null >"$output" 2>/dev/null &
    for _ in $(seq 600); do
      if grep -q '^held' "$output"; then
        WORLD_DESKTOP_HELD=$!
        rm -f "$output"
        return 0
      fi
      kill -0 $! 2>/dev/null || break
      sleep 0.1
    done
    echo "the desktop could not be held: $(tr -d '\r' <"$output") (attempt $attempt)" >&2
    kill $! 2>/dev/null || true
    sleep 1
  done
  rm -f "$output"
}

# Trusts the test CA inside the prefix (once per prefix and CA).
world_trust_ca() {
  local marker
  marker="$WINEPREFIX/nembric-test-ca-$(sha256sum "$WORLD_TLS/ca.der" | cut -c1-16)"
  [ -f "$marker" ] && return 0
  "$WORLD_RUN" "$WORLD_BUILD/tests/e2e/trust_ca.exe" "$WORLD_TLS/ca.der"
  touch "$marker"
}

# world_start_server [--cert NAME] [--fault NAME=KIND ...]: starts the download server on 127.0.0.1:443
# with the localhost certificate (or NAME.pem) and waits until it listens. Requests go to $WORLD_REQUESTS.
world_start_server() {
  local cert=localhost
  if [ "${1:-}" = "--cert" ]; then
    cert=$2
    shift 2
  fi
  WORLD_REQUESTS=$(mktemp)
  local ready
  ready=$(mktemp -u)
  python3 "$WORLD_ROOT/tests/e2e/download_server.py" --root "$WORLD_DOWNLOADS" \
    --cert "$WORLD_TLS/$cert.pem" --key "$WORLD_TLS/$cert.key" --log "$WORLD_REQUESTS" \
    --ready "$ready" --lifetime "${WORLD_SERVER_LIFETIME:-900}" "$@" &
  WORLD_SERVER_PID=$!
  for _ in $(seq 100); do
    [ -f "$ready" ] && { rm -f "$ready"; return 0; }
    kill -0 "$WORLD_SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "the download server did not start (is port 443 taken, or not root?)" >&2
  return 1
}

# world_sign IN OUT: the package IN signed (Authenticode, SHA-256) by the test world's publisher, whose
# authority the tests' build pins, as OUT.
world_sign() {
  rm -f "$2"
  osslsigncode sign -certs "$WORLD_TLS/codesign.pem" -key "$WORLD_TLS/codesign.key" -ac "$WORLD_TLS/ca.pem" \
    -h sha256 -in "$1" -out "$2" >/dev/null
}

world_stop_server() {
  if [ -n "$WORLD_SERVER_PID" ]; then
    kill "$WORLD_SERVER_PID" 2>/dev/null || true
    wait "$WORLD_SERVER_PID" 2>/dev/null || true
    WORLD_SERVER_PID=
  fi
}

# world_exit_code COMMAND...: runs a Windows program (the first word a host path) through run_exit.exe
# and prints its whole exit code, which Wine's own exit status cuts to its low byte. What the program writes
# to its standard output goes to $WORLD_OUTPUT when that names a file. A program that could not be started
# at all (Wine's process creation failing under load) is said on the standard error and started once more;
# nothing of it ran, so nothing is repeated.
world_exit_code() {
  local program=$1 attempt output
  [[ "$program" == [A-Za-z]:\\* ]] || program=$(world_winpath "$1")
  shift
  for attempt in 1 2; do
    output=$("$WORLD_RUN" "$WORLD_BUILD/tests/e2e/run_exit.exe" "$program" "$@" | tr -d '\r') || true
    grep -q '^error cannot start' <<<"$output" || break
    echo "run_exit: $program: $(grep '^error cannot start' <<<"$output") (attempt $attempt)" >&2
    sleep 1
  done
  if [ -n "${WORLD_OUTPUT:-}" ]; then printf '%s\n' "$output" >"$WORLD_OUTPUT"; fi
  sed -n 's/^exit //p' <<<"$output"
}

# world_end_run NAME PREFIX EXPECTED_EXIT: the end of a setup started in the background as $setup, with
# its exit code in $work/NAME.exit and the driver's output in $work/NAME.driver: waits for it, checks the
# exit code, and keeps the driver's output and the log ($work/$log_name) as PREFIX-NAME artefacts.
world_end_run() {
  local name=$1 prefix=$2 expected=$3 status _
  # Once the driver is done the setup ends at once; one that still runs waits for a person who never comes.
  for _ in $(seq 1800); do
    kill -0 "$setup" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$setup" 2>/dev/null; then
    fail "$name: the setup still ran 180 s after the driver; ended"
    world_end_setups
  fi
  wait "$setup" || true
  setup=
  status=$(cat "$work/$name.exit")
  [ "$status" = "$expected" ] || fail "$name: the setup ended with exit code $status, not $expected"
  cp "$work/$name.driver" "$artefacts/$prefix-$name-driver.txt"
  tr -d '\r' <"$work/$log_name" >"$artefacts/$prefix-$name.log" 2>/dev/null || fail "$name: no log"
}

# reg_quiet ARGUMENTS...: reg.exe in the prefix, its output and failure ignored (deleting what may be absent).
reg_quiet() { "$WORLD_RUN" reg "$@" >/dev/null 2>&1 || true; }

# world_forget_ai_client: the registry as on a machine that never had the AI client: no uninstall entry
# (nor the server's, which would keep the shared setup program at an uninstall), no product key, no
# runtime the stand-in installer registered.
world_forget_ai_client() {
  local entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
  reg_quiet delete "$entry" /f /reg:32
  reg_quiet delete "${entry%Client}Server" /f /reg:32
  reg_quiet delete 'HKCU\Software\Halvorn' /f
  reg_quiet delete 'HKLM\SOFTWARE\Halvorn' /f /reg:64
  for view in 32 64; do reg_quiet delete 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0' /f /reg:$view; done
}

# world_forget_product: the registry as on a machine that never had the client, the server or the Visual C++
# runtimes: the information server's MSI removed, no uninstall entry, no product key, no runtime key.
world_forget_product() {
  local view
  "$WORLD_RUN" msiexec /x '{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A01}' /quiet >/dev/null 2>&1 || true
  world_forget_ai_client
  for view in 32 64; do reg_quiet delete 'HKLM\SOFTWARE\Microsoft\VisualStudio\12.0' /f /reg:$view; done
}

# world_reg_query ARGS...: what "reg query ARGS" prints in the prefix, carriage returns removed; "absent: KEY"
# for a key or value that is not there. Under load the start of a Wine program can fail and print nothing: a
# query that neither answered nor found nothing is tried again (five times), then printed as "unreadable",
# so that a comparison fails and says why rather than reading the key as gone.
world_reg_query() {
  local output status _
  for _ in 1 2 3 4 5; do
    status=0
    output=$("$WORLD_RUN" reg query "$@" 2>/dev/null) || status=$?
    output=${output//$'\r'/}
    if [ "$status" = 0 ]; then
      printf '%s\n' "$output"
      return 0
    fi
    if [[ "$output" == *"Unable to find"* ]]; then
      echo "absent: $1"
      return 0
    fi
    sleep 0.5
  done
  echo "unreadable: reg query $* (exit $status)"
}

# reg_value VIEW KEY NAME: the data of a value in the prefix's registry as reg.exe prints it (a DWORD as 0x...);
# nothing for a value that is not there, so that the caller's comparison says what is missing (a failing
# query would otherwise end a test silently in an assignment).
reg_value() {
  world_reg_query "$2" /v "$3" /reg:"$1" | sed -n "s/^ *$3 *REG_[A-Z_]* *//p"
}

# The Windows form of a host path, as the programs in the prefix see it: C: is the prefix's drive_c, Z: the
# host's root (the prefix's dosdevices). Worked out here rather than by winepath, whose Wine start can fail
# under load and leave an empty name behind.
world_winpath() {
  local path drive_c
  path=$(realpath -ms "$1")
  drive_c=$(realpath -ms "$WINEPREFIX/drive_c")
  if [ "$path" = "$drive_c" ] || [[ "$path" == "$drive_c"/* ]]; then
    path="C:${path#"$drive_c"}"
  else
    path="Z:$path"
  fi
  [[ "$path" == ?: ]] && path="$path/"
  printf '%s\n' "${path//\//\\}"
}

# Runs the calling test again on a private Xvfb display when there is no display:
#   world_need_display "$0" "$@"
world_need_display() {
  if [ -z "${DISPLAY:-}" ]; then
    exec "$WORLD_ROOT/tools/with-display.sh" bash "$@"
  fi
  world_hold_desktop
}

# Counts a failed expectation of a test and says which.
WORLD_FAILURES=0
fail() {
  echo "FAIL: $*"
  WORLD_FAILURES=$((WORLD_FAILURES + 1))
}
