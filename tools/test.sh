#!/usr/bin/env bash
# Runs every test tier: the host tests against the in-memory machine, then the Windows build's adapter
# tests and end-to-end tests under Wine (on a private Xvfb display when there is no X display), the fuzz
# targets for a short while, the format and lint checks, and the short forms of the benchmarks. Installs
# what it needs first.
# The Wine tier mostly waits (for windows, boxes, installers and the download server), leaving the
# processors idle, so the fuzz targets (built with the host tests) run beside it at the lowest priority,
# and the lint from the host build's end on.
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

tier "host build and tests (the lint beside them)"
cmake --preset host >/dev/null
cmake --build --preset host
# The lint (tools/lint.py) reads the host build's compile commands and dependency log. It lints the files
# whose inputs differ from those of a clean lint on record, at the lowest priority, beside the host tests,
# the Windows build and the Wine tier.
lint_log="$root/build/lint.log"
(
  tier "lint"
  failed=0
  python3 tools/lint.py || failed=1
  tier "lint ended"
  exit "$failed"
) >"$lint_log" 2>&1 &
lint=$!
summary="$root/build/test-summary.txt"
: >"$summary"
ctest --preset host -j2 | tee -a "$summary"

tier "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

fuzz_log="$root/build/fuzz.log"
(
  failed=0
  # Every fuzz target (built with the host tests) for a short while (FUZZ_SECONDS, 15 by default), all at
  # once, on what the Wine tier leaves of the processors: a brief check, the long runs are tools/fuzz.sh's.
  # A crash fails the run.
  tier "fuzz"
  ls fuzz/fuzz_*.cpp | sed 's|fuzz/fuzz_||; s|\.cpp$||' |
    xargs -P 0 -I NAME nice -n 19 tools/fuzz.sh NAME "${FUZZ_SECONDS:-15}" || failed=1
  tier "fuzz ended"
  exit "$failed"
) >"$fuzz_log" 2>&1 &
fuzz=$!

tier "Windows adapter and end-to-end tests under Wine (lint and fuzz beside them)"
status=0
# The tier holds Wine's desktop from its start to its end (tests/e2e/world.sh), the adapter tests' windows
# included; each end-to-end test then finds it held.
tools/with-display.sh bash -c 'source tests/e2e/world.sh && world_init build/windows && world_hold_desktop &&
  export WORLD_DESKTOP_HELD && exec ctest --preset windows' | tee -a "$summary" || status=$?
# Leave no Wine process behind.
WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true

fuzz_status=0
wait "$fuzz" || fuzz_status=$?
cat "$fuzz_log"
[ "$fuzz_status" -eq 0 ] || { echo "fuzz failed"; status=1; }
lint_status=0
wait "$lint" || lint_status=$?
cat "$lint_log"
[ "$lint_status" -eq 0 ] || { echo "lint failed"; status=1; }

tier "benchmarks, short form"
bench/cabinet_bench.sh --short "$root/build/windows" || status=1
bench/download_bench.sh --short "$root/build/windows" || status=1
WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true

tier "end"
# One closing line over all tiers.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$summary"
exit "$status"
