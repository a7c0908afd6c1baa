#!/usr/bin/env bash
# Runs every test tier: the Windows build's adapter tests and end-to-end tests under Wine (on a private Xvfb
# display when there is no X display), the host tests against the in-memory machine, the fuzz targets for a
# short while, the format and lint checks, and the short forms of the benchmarks. Installs what it needs
# first.
# The Wine tier mostly waits (for windows, boxes, installers and the download server), leaving the
# processors idle, so the host tier runs beside it at the lowest priority: the host build, its tests, the
# lint (tools/lint.py, which lints only what changed since a clean lint on record) and the fuzz targets.
# The Windows build goes first, since the Wine tier needs it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# Each tier's heading says when it starts, in seconds since the run began.
started=$SECONDS
tier() { echo "== $* (at $((SECONDS - started)) s)"; }
tools/bootstrap.sh

tier "format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

tier "layers"
python3 tools/check_layers.py

tier "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

# The host tier, beside the Wine tier at the lowest priority; its output is printed once that tier ends.
host_log="$root/build/host-tier.log"
host_summary="$root/build/host-summary.txt"
wine_summary="$root/build/wine-summary.txt"
: >"$host_summary"
: >"$wine_summary"
(
  failed=0
  tier "host build"
  nice -n 19 cmake --preset host >/dev/null && nice -n 19 cmake --build --preset host || exit 1
  tier "host tests"
  nice -n 19 ctest --preset host -j2 >"$host_summary" || failed=1
  cat "$host_summary"
  # The lint reads the host build's compile commands and dependency log.
  tier "lint"
  nice -n 19 python3 tools/lint.py || { echo "lint failed"; failed=1; }
  # Every fuzz target (built with the host tests) for a short while (FUZZ_SECONDS, 15 by default), all at
  # once: a brief check, the long runs are tools/fuzz.sh's. A crash fails the run.
  tier "fuzz"
  ls fuzz/fuzz_*.cpp | sed 's|fuzz/fuzz_||; s|\.cpp$||' |
    xargs -P 0 -I NAME nice -n 19 tools/fuzz.sh NAME "${FUZZ_SECONDS:-15}" || { echo "fuzz failed"; failed=1; }
  tier "host tier ended"
  exit "$failed"
) >"$host_log" 2>&1 &
host=$!

tier "Windows adapter and end-to-end tests under Wine (the host tier beside them)"
status=0
# The tier holds Wine's desktop from its start to its end (tests/e2e/world.sh), the adapter tests' windows
# included; each end-to-end test then finds it held.
tools/with-display.sh bash -c 'source tests/e2e/world.sh && world_init build/windows && world_hold_desktop &&
  export WORLD_DESKTOP_HELD && exec ctest --preset windows' | tee "$wine_summary" || status=$?
# Leave no Wine process behind.
WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true

host_status=0
wait "$host" || host_status=$?
cat "$host_log"
[ "$host_status" -eq 0 ] || { echo "the host tier failed"; status=1; }

tier "benchmarks, short form"
bench/cabinet_bench.sh --short "$root/build/windows" || status=1
bench/download_bench.sh --short "$root/build/windows" || status=1
WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true

tier "end"
# One closing line over both ctest tiers.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$host_summary" "$wine_summary"
exit "$status"
