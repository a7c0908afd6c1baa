# The last line of a benchmark, sourced by its script: bench_ratio WHAT OURS_SECONDS PLATFORM_SECONDS SHORT
# prints "WHAT: R" (the platform's time over ours) and, for a short form (SHORT not empty), fails when R is
# below MIN_RATIO (0.6).
bench_ratio() {
  local what=$1 ratio
  ratio=$(awk -v ours="$2" -v platform="$3" 'BEGIN {printf "%.2f", platform / ours}')
  echo "$what: $ratio"
  if [ -n "$4" ] && awk -v r="$ratio" -v m="${MIN_RATIO:-0.6}" 'BEGIN {exit !(r < m)}'; then
    echo "FAIL: $what at $ratio, below ${MIN_RATIO:-0.6}" >&2
    return 1
  fi
}
