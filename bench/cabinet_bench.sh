#!/usr/bin/env bash
# Extraction benchmark: the large cabinet of the package set, extracted under Wine by CopyCabinet (through
# cabinet.dll) and by Wine's own extrac32, and natively by cabextract. Prints each tool's time, throughput
# in MiB/s of extracted data, peak memory, and the ratios to extrac32; the last line is CopyCabinet's ratio.
# With --short: the 64 MiB cabinet, three runs each, and a failure when the ratio is below MIN_RATIO (0.6):
# the short form the test run uses to catch a gross regression on a shared, noisy machine.
# usage: bench/cabinet_bench.sh [--short] [BUILD_DIR]   (default build/windows; builds what it needs)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
short=
if [ "${1:-}" = --short ]; then
  short=1
  shift
fi
build=${1:-$root/build/windows}
cabinet_dir="$build/packages/bench"
if [ -n "$short" ]; then
  cmake --build "$build" --target cabinet_bench bench_package_short >/dev/null
  cabinet_name=NembricShort.cab
else
  cmake --build "$build" --target cabinet_bench bench_package >/dev/null
  cabinet_name=NembricLarge.cab
fi
cabinet="$cabinet_dir/$cabinet_name"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wine="$root/tools/wine-run.sh"
extracted_bytes=$(cabextract -l "$cabinet" | awk '$2=="|" && $1 ~ /^[0-9]+$/ {s+=$1} END {print s}')
mib=$(awk -v b="$extracted_bytes" 'BEGIN {printf "%.1f", b / 1048576}')
winpath() { WINEPREFIX="$build/wineprefix" winepath -w "$1" 2>/dev/null; }

# Each run starts from an empty destination with the folder of the cabinet's folder entries in place.
fresh() { rm -rf "$work/$1" && mkdir -p "$work/$1/Data"; }
# Runs a command, printing "seconds peak_kib" from GNU time: the wall time of the whole process, Wine's
# start included for both Wine programs, so that they are measured alike.
timed() { /usr/bin/time -f '%e %M' -o "$work/time" "$@" >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }; cat "$work/time"; }

"$wine" wineboot -i >/dev/null 2>&1 || true
# Wine's own services still start for a moment after wineboot; the server stays up between the runs.
WINEPREFIX="$root/build/wineprefix" wineserver -w 2>/dev/null || true
WINEPREFIX="$root/build/wineprefix" wineserver -p 2>/dev/null || true
trap 'WINEPREFIX="$root/build/wineprefix" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
runs=${RUNS:-$([ -n "$short" ] && echo 3 || echo 5)}
tools=(CopyCabinet extrac32 cabextract)
declare -A seconds peak
# run TOOL: one extraction into a fresh destination; prints "seconds peak_kib".
run() {
  local tool=$1 s kib
  fresh "$tool"
  case $tool in
    CopyCabinet)
      read -r s _ < <(timed "$wine" "$build/bench/cabinet_bench.exe" "$(winpath "$cabinet_dir")" \
        "$cabinet_name" "$(winpath "$work/$tool")")
      kib=$(sed -n 's/.*peak_working_set_kib=\([0-9]*\).*/\1/p' "$work/out")
      ;;
    extrac32)
      read -r s kib < <(timed "$wine" extrac32 /Y /E /L "$(winpath "$work/$tool")" "$(winpath "$cabinet")")
      ;;
    cabextract)
      read -r s kib < <(timed cabextract -q -d "$work/$tool" "$cabinet")
      ;;
  esac
  echo "$s $kib"
}
# One untimed round, then rounds that take the tools in turn, so that a slow moment of a shared machine
# falls on every tool alike rather than on the whole series of one.
for tool in "${tools[@]}"; do run "$tool" >/dev/null; done
declare -A times
for _ in $(seq "$runs"); do
  for tool in "${tools[@]}"; do
    times[$tool]+="$(run "$tool")"$'\n'
  done
done
for tool in "${tools[@]}"; do
  read -r seconds[$tool] peak[$tool] < <(printf '%s' "${times[$tool]}" | sort -n | head -1)
done

# Every tool extracted the same bytes.
for tool in CopyCabinet extrac32; do
  diff -r "$work/$tool" "$work/cabextract" >/dev/null || { echo "$tool extracted different files"; exit 1; }
done
printf '%-12s %9s %9s %12s %14s\n' tool seconds MiB/s peak_KiB ratio_extrac32
for tool in CopyCabinet extrac32 cabextract; do
  awk -v t="$tool" -v s="${seconds[$tool]}" -v k="${peak[$tool]}" -v m="$mib" -v e="${seconds[extrac32]}" \
    'BEGIN {printf "%-12s %9.2f %9.1f %12d %14.2f\n", t, s, m / s, k, e / s}'
done
echo "extracted: $mib MiB; best of $runs runs. Peak memory: for CopyCabinet the Windows process's peak working"
echo "set (GetProcessMemoryInfo); for the others the peak resident set that GNU time reports (for extrac32 the"
echo "Wine start-up process, which understates it)."
source "$root/bench/ratio.sh"
bench_ratio "CopyCabinet to extrac32" "${seconds[CopyCabinet]}" "${seconds[extrac32]}" "$short"
