#!/usr/bin/env bash
# Download benchmark: a 512 MiB package fetched from the local HTTPS download server by
# DownloadClientPackage under Wine (WinHTTP), by a bare WinHTTP read loop under Wine (httpfetch.exe, 1 MiB
# reads, the body hashed with BCrypt's SHA-256 as it arrives, since the server publishes a digest that the
# setup checks: what the platform allows) and by native curl, in the same run. Prints each one's time (whole
# process, Wine's start included for both Wine programs), throughput, peak memory and the ratios to curl
# and to bare WinHTTP; checks that all saved the same bytes. The last line is DownloadClientPackage's ratio
# to bare WinHTTP. With --short: a 64 MiB package, and a failure when that ratio is below MIN_RATIO (0.6):
# the short form the test run uses to catch a gross regression on a shared, noisy machine.
# usage: bench/download_bench.sh [--short] [BUILD_DIR]   (default build/windows; builds what it needs;
# needs port 443)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
short=
mib=512
package=NembricHuge.bin
if [ "${1:-}" = --short ]; then
  short=1
  mib=64
  package=NembricShort.bin
  shift
fi
build=${1:-$root/build/windows}
cmake --build "$build" --target download_bench trust_ca httpfetch >/dev/null
source "$root/tests/e2e/world.sh"
world_init "$build"
world_trust_ca
folder="$build/packages/bench/downloads"
mkdir -p "$folder"
if [ "$(stat -c %s "$folder/$package" 2>/dev/null || echo 0)" -ne $((mib << 20)) ]; then
  head -c $((mib << 20)) /dev/urandom >"$folder/$package"
fi
WORLD_DOWNLOADS=$folder
work=$(mktemp -d)
trap 'world_stop_server; rm -rf "$work"' EXIT
world_start_server
runs=${RUNS:-3}
mkdir -p "$work/setup" "$work/curl" "$work/winhttp"
declare -A seconds peak best
# Rounds that take the tools in turn, so that a slow moment of a shared machine falls on every tool alike.
for _ in $(seq "$runs"); do
  for tool in DownloadClientPackage WinHTTP curl; do
    case $tool in
      DownloadClientPackage)
        rm -f "$work/setup/$package"
        /usr/bin/time -f '%e' -o "$work/time" "$WORLD_RUN" "$build/bench/download_bench.exe" localhost \
          "$package" "$(world_winpath "$work/setup")" >"$work/out" 2>/dev/null
        read -r s <"$work/time"
        kib=$(sed -n 's/.*peak_working_set_kib=\([0-9]*\).*/\1/p' "$work/out")
        ;;
      WinHTTP)
        rm -f "$work/winhttp/$package"
        /usr/bin/time -f '%e %M' -o "$work/time" "$WORLD_RUN" "$build/tests/e2e/httpfetch.exe" localhost \
          "$package" "$(world_winpath "$work/winhttp/$package")" sha256 >/dev/null 2>"$work/out"
        read -r s _ <"$work/time"
        kib=$(sed -n 's/.*peak_working_set_kib=\([0-9]*\).*/\1/p' "$work/out")
        ;;
      curl)
        rm -f "$work/curl/$package"
        /usr/bin/time -f '%e %M' -o "$work/time" curl -s --cacert "$WORLD_TLS/ca.pem" -o "$work/curl/$package" \
          "https://localhost/downloads/$package"
        read -r s kib <"$work/time"
        ;;
    esac
    if [ -z "${best[$tool]:-}" ] || awk -v a="$s" -v b="${best[$tool]%% *}" 'BEGIN {exit !(a < b)}'; then
      best[$tool]="$s $kib"
    fi
  done
done
for tool in DownloadClientPackage WinHTTP curl; do
  read -r seconds[$tool] peak[$tool] <<<"${best[$tool]}"
done
cmp -s "$work/setup/$package" "$folder/$package" || { echo "DownloadClientPackage saved different bytes"; exit 1; }
cmp -s "$work/curl/$package" "$folder/$package" || { echo "curl saved different bytes"; exit 1; }
cmp -s "$work/winhttp/$package" "$folder/$package" || { echo "httpfetch saved different bytes"; exit 1; }
printf '%-22s %9s %9s %12s %11s %14s\n' tool seconds MiB/s peak_KiB ratio_curl ratio_winhttp
for tool in DownloadClientPackage WinHTTP curl; do
  awk -v t="$tool" -v s="${seconds[$tool]}" -v k="${peak[$tool]}" -v c="${seconds[curl]}" -v w="${seconds[WinHTTP]}" \
    -v m="$mib" 'BEGIN {printf "%-22s %9.2f %9.1f %12d %11.2f %14.2f\n", t, s, m / s, k, c / s, w / s}'
done
echo "$mib MiB of random bytes over HTTPS from the local server; best of $runs runs. Peak memory: for"
echo "the Wine programs the Windows process's peak working set (GetProcessMemoryInfo); for curl the"
echo "peak resident set that GNU time reports."
source "$root/bench/ratio.sh"
bench_ratio "DownloadClientPackage to bare WinHTTP" "${seconds[DownloadClientPackage]}" "${seconds[WinHTTP]}" "$short"
