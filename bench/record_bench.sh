#!/usr/bin/env bash
# Install record benchmark: the lines of a Both install (LINES, 450 by default) appended under Wine through
# the real file adapter, each flushed before the change it names, against the same lines written as the
# record once wrote them (closed, not flushed). Prints both times and the flushes' cost per line; set it
# against a Both install's run time to see their share.
# usage: bench/record_bench.sh [LINES] [BUILD_DIR]   (default 450, build/windows; builds what it needs)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lines=${1:-450}
build=${2:-$root/build/windows}
cmake --build "$build" --target record_bench >/dev/null
source "$root/tests/e2e/world.sh"
world_init "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$WORLD_RUN" "$build/bench/record_bench.exe" "$(world_winpath "$work")" "$lines"
