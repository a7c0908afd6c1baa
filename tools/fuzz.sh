#!/usr/bin/env bash
# Runs one fuzz target (fuzz/fuzz_NAME.cpp) for SECONDS, from its seeds in fuzz/corpus/NAME; what it learns
# goes to build/fuzz/corpus/NAME, a crashing input to build/fuzz/crashes/NAME-*. The target is the host
# build's (the tests' build, at -O0), or with FUZZ_PRESET=fuzz the fuzz preset's (-O1, for long runs); it is
# built first when needed. usage: tools/fuzz.sh NAME SECONDS
# The last line: "fuzz NAME: RUNS runs in SECONDS s, CRASHES crashes".
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
name=$1
seconds=$2
cd "$root"
preset=${FUZZ_PRESET:-host}
target="build/$preset/fuzz/fuzz_$name"
if [ ! -x "$target" ] || [ -n "${FUZZ_BUILD:-}" ]; then
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "fuzz_$name" >/dev/null
fi
corpus="build/fuzz/corpus/$name"
crashes="build/fuzz/crashes"
mkdir -p "$corpus" "$crashes"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$crashes/$name-" "$corpus" "fuzz/corpus/$name" >"$out" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out" | tail -1)
crashes_found=$(find "$crashes" -name "$name-*" | wc -l)
if [ "$status" -ne 0 ]; then
  grep -E "ERROR|SUMMARY|Test unit written" "$out" | head -5
fi
echo "fuzz $name: ${runs:-0} runs in $seconds s, $crashes_found crashes"
exit "$status"
