#!/usr/bin/env bash
# Runs every test tier: the host tests against the in-memory machine, then the Windows build's adapter
# tests and end-to-end tests under Wine (on a private Xvfb display when there is no X display), the fuzz
# targets for a short while, and the format and lint checks. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/bootstrap.sh

echo "== format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== layers"
python3 tools/check_layers.py

echo "== host build and tests"
cmake --preset host >/dev/null
cmake --build --preset host
summary="$root/build/test-summary.txt"
: >"$summary"
ctest --preset host -j2 | tee -a "$summary"

echo "== lint"
# The portable code, the fakes and the host tests (the host build's compile commands cover them).
git ls-files 'src/*.cpp' 'tests/fakes/*.cpp' 'tests/unit/*.cpp' | grep -v -e '^src/platform/win32/' -e '^src/main.cpp' |
  xargs -P 2 -n 4 clang-tidy -p build/host --quiet 2>/dev/null

echo "== fuzz"
# Each fuzz target for a short while (FUZZ_SECONDS, 15 by default), two at a time; a crash fails the run.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ls fuzz/fuzz_*.cpp | sed 's|fuzz/fuzz_||; s|\.cpp$||' |
  xargs -P 2 -I NAME tools/fuzz.sh NAME "${FUZZ_SECONDS:-15}"

echo "== Windows build, adapter and end-to-end tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
status=0
tools/with-display.sh ctest --preset windows | tee -a "$summary" || status=$?
# Leave no Wine process behind.
WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true

# One closing line over all tiers.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$summary"
exit "$status"
