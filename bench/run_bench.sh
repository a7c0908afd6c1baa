#!/usr/bin/env bash
# Whole-run benchmark: a quiet Both install (AI client, Enterprise server on port 80, SQL Server Express)
# under Wine, against the local download server held to a WAN link's rate, with the stand-in installers
# and the tests' DISM taking a set time (the runtimes SETUP_SECONDS each, SQL Server Express twice that and
# its own steps, enabling IIS DISM_SECONDS). In one bench run it measures:
#   installs   the same install from an offline layout on the machine: everything but the network;
#   downloads  every package that install fetched, and its published digest, one after another with curl
#              over the same link: the network alone;
#   wall       the install from the download server over the link.
# The link's rate is set so that the downloads take about as long as the installs (the packages' bytes over
# the installs' time), unless RATE_KIB gives it. Prints the three times and the ratio
# wall / max(downloads, installs): 1.0 when the run is as fast as its slowest part, 2.0 when the parts run
# one after another and take as long as each other. Each run starts from a machine without the product.
# SETUP_EXE names another build of the setup program to time in the same world (an earlier commit's, for a
# before-and-after figure).
# usage: bench/run_bench.sh [BUILD_DIR]   (default build/windows; builds what it needs; needs port 443)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/windows}
cmake --build "$build" --target NembricSetup trust_ca run_exit dism_api_stub iis_admin_server packages test_ca >/dev/null
source "$root/tests/e2e/world.sh"
world_init "$build"
WORLD_EXE=${SETUP_EXE:-$WORLD_EXE}
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricBench"
control="$drive_c/NembricTest"
iis="$drive_c/NembricIIS"
layout="$drive_c/NembricBenchLayout"
dism="$drive_c/windows/system32/DismApi.dll"
iis_class='HKLM\Software\Classes\CLSID\{2B72133B-3F5B-4602-8952-803546CE3344}'
setup_seconds=${SETUP_SECONDS:-1}
dism_seconds=${DISM_SECONDS:-2}
cleanup() {
  world_stop_server
  rm -rf "$dism" "$layout"
  reg_quiet delete "$iis_class" /f /reg:64
}
trap cleanup EXIT

# A machine without the product or the runtimes, with the tests' DISM and IIS, the installers' times set.
prepare() {
  world_forget_product
  rm -rf "$control" "$iis" "$drive_c/HNembricAI" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"
  mkdir -p "$work" "$control" "$iis"
  cp "$WORLD_BUILD/tests/e2e/DismApi.dll" "$dism"
  cp "$WORLD_BUILD/tests/e2e/iis_admin_server.dll" "$iis/"
  "$WORLD_RUN" reg add "$iis_class\\InProcServer32" /ve /d 'C:\NembricIIS\iis_admin_server.dll' /f /reg:64 >/dev/null
  "$WORLD_RUN" reg add "$iis_class\\InProcServer32" /v ThreadingModel /d Both /f /reg:64 >/dev/null
  for installer in VC_redist.x64 vcredist_x64; do echo "$setup_seconds" >"$control/$installer.seconds"; done
  echo $((2 * setup_seconds)) >"$control/SQLEXPR_x64_ENU.seconds"
  echo "$dism_seconds" >"$control/dism.seconds"
}

# since START: the seconds since START (as date +%s.%N gives it).
since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }

# install NAME SOURCE: the quiet install from SOURCE, timed (seconds in $elapsed); it must end with 0.
install() {
  local start status
  start=$(date +%s.%N)
  status=$(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricBench\both.ini' "/source=$2")
  elapsed=$(since "$start")
  [ "$status" = 0 ] || { echo "$1: the install ended with $status" >&2; tail -5 "$work/Halvorn NembricAI  Setup v10.1.3.Log" >&2; exit 1; }
  tr -d '\r' <"$work/Halvorn NembricAI  Setup v10.1.3.Log" >"$work/$1.log"
}

rm -rf "$work"
mkdir -p "$work"
printf '[Setup]\r\nSetupType = Both\r\nBitSize = AI Client\r\nServerDirectory = C:\\HNembricAI\r\nEdition = Enterprise\r\nPort = 80\r\nInstallSqlServer = Yes\r\nSqlPassword = Nemb1c$x\r\n' \
  >"$work/both.ini"

# The layout, from the server at full speed.
world_start_server
rm -rf "$layout"
status=$(cd "$work" && world_exit_code "$WORLD_EXE" '/layout=C:\NembricBenchLayout' '/answers=C:\NembricBench\both.ini' \
  /source=localhost)
[ "$status" = 0 ] || { echo "the layout ended with $status" >&2; exit 1; }
world_stop_server

prepare
install installs 'C:\NembricBenchLayout'
installs=$elapsed

# What the install fetches: the packages its log names, each with its published digest.
mapfile -t packages < <(sed -n "s/^[A-Za-z ]*:Downloaded *;[^;]*;downloads\\///p" "$work/installs.log")
bytes=0
for package in "${packages[@]}"; do bytes=$((bytes + $(stat -c %s "$WORLD_DOWNLOADS/$package"))); done
rate=${RATE_KIB:-$(awk -v b="$bytes" -v s="$installs" 'BEGIN { printf "%d", b / 1024 / s }')}

world_start_server --rate "$rate"
start=$(date +%s.%N)
for package in "${packages[@]}"; do
  for object in "$package.sha256" "$package"; do
    curl -s --fail --cacert "$WORLD_TLS/ca.pem" -o /dev/null "https://localhost/downloads/$object"
  done
done
downloads=$(since "$start")

prepare
install wall localhost
wall=$elapsed
world_stop_server
diff <(grep -v '^Server Setup:SQL Server 2022 Setup' "$work/installs.log" | grep -v -e '^step ' -e '^$' -e 'Download' -e 'Getting ') \
  <(grep -v '^Server Setup:SQL Server 2022 Setup' "$work/wall.log" | grep -v -e '^step ' -e '^$' -e 'Download' -e 'Getting ') \
  >/dev/null || echo "note: the two installs' logs differ beyond their sources" >&2
prepare
rm -f "$control"/*.seconds

printf '%-10s %8s\n' part seconds
printf '%-10s %8.2f\n' installs "$installs" downloads "$downloads" wall "$wall"
echo "${#packages[@]} packages, $((bytes / 1024)) KiB over a link of $rate KiB/s; installs: the runtimes ${setup_seconds} s each, SQL Server Express $((2 * setup_seconds)) s and its steps, IIS ${dism_seconds} s"
awk -v w="$wall" -v i="$installs" -v d="$downloads" 'BEGIN {
  m = i > d ? i : d
  printf "one after another, (downloads + installs) / max: %.2f\n", (i + d) / m
  printf "wall / max(downloads, installs): %.2f\n", w / m
}'
