#!/usr/bin/env bash
# An offline layout built from the download server, under Wine:
#   built    /layout=FOLDER without answers fetches every package of every build and edition into
#            FOLDER\downloads, each as the server has it, with SHA256SUMS that sha256sum -c accepts, and the
#            setup program into FOLDER; exit code 0; nothing installed, no install record
#   resumed  built again, every package already whole is kept and none is fetched again
#   refused  a package whose published digest is that of other bytes is not left in the layout, nor named
#            in SHA256SUMS; exit code 1603
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
layout="$drive_c/NembricLayout"
work="$drive_c/NembricE2E"
log="$work/Halvorn NembricAI  Setup v10.1.3.Log"
artefacts="$WORLD_BUILD/artefacts"
trap 'world_stop_server' EXIT
mkdir -p "$artefacts"

# layout NAME EXPECTED_EXIT: the layout built from the work folder, its output and log kept.
layout() {
  local name=$1 expected=$2 status
  rm -f "$log"
  status=$(cd "$work" && WORLD_OUTPUT="$work/$name.out" world_exit_code "$WORLD_EXE" \
    '/layout=C:\NembricLayout' /source=localhost)
  tr -d '\r' <"$log" >"$artefacts/layout-$name.log"
  [ "$status" = "$expected" ] || fail "$name: exit code $status, not $expected"
}

rm -rf "$layout" "$work" "$drive_c/Program Files/Halvorn"
mkdir -p "$work"
world_start_server
layout built 0
packages=$(find "$WORLD_DOWNLOADS" -maxdepth 1 -type f ! -name '*.sha256' -printf '%f\n' | sort)
[ "$(find "$layout/downloads" -type f ! -name SHA256SUMS -printf '%f\n' | sort)" = "$packages" ] ||
  fail "built: the layout does not hold every package of the server"
for name in $packages; do
  cmp -s "$layout/downloads/$name" "$WORLD_DOWNLOADS/$name" || fail "built: $name differs from the server's"
done
(cd "$layout/downloads" && sha256sum --quiet -c SHA256SUMS) || fail "built: SHA256SUMS does not hold"
cmp -s "$layout/NembricSetup.exe" "$WORLD_EXE" || fail "built: the setup program is not in the layout"
[ ! -e "$drive_c/Program Files/Halvorn" ] || fail "built: the layout installed something"
grep -q '^Layout:The layout is complete: ' "$artefacts/layout-built.log" || fail "built: no closing line"

world_stop_server
world_start_server
layout resumed 0
[ "$(grep -c ' is in the layout already$' "$artefacts/layout-resumed.log")" -eq "$(echo "$packages" | wc -l)" ] ||
  fail "resumed: a package was fetched again"

world_stop_server
rm -f "$layout/downloads/HNbx.cab"
world_start_server --fault HNbx.cab=wrongdigest
layout refused 1603
[ ! -e "$layout/downloads/HNbx.cab" ] || fail "refused: the package not as published is in the layout"
! grep -q ' HNbx.cab$' "$layout/downloads/SHA256SUMS" || fail "refused: SHA256SUMS names the package"
grep -qxF 'Layout:HNbx.cab could not be fetched and verified: it is not in the layout' \
  "$artefacts/layout-refused.log" || fail "refused: no line says so"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "layout: built with every package verified, resumed without a fetch, a package not as published refused"
