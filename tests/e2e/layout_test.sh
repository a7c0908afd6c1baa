#!/usr/bin/env bash
# An offline layout built from the download server, under Wine:
#   built    /layout=FOLDER without answers fetches every package of every build and edition into
#            FOLDER\downloads, each as the server has it, with SHA256SUMS that sha256sum -c accepts, and the
#            setup program into FOLDER; exit code 0; nothing installed, no install record
#   resumed  built again, every package already whole is kept and none is fetched again
#   offline  with the server stopped, a quiet install of the AI client reads its packages from the layout,
#            named by /source=C:\NembricLayout and found by the setup started inside the layout, and the
#            client's files are those of an install from the server; a cabinet with one byte changed in the
#            layout is refused (1603), a /source= that names a file ends with 87
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

# install NAME EXPECTED_EXIT PROGRAM ARGUMENTS...: a quiet install of the AI client from the work folder,
# its log kept; an install that went through is uninstalled again.
install() {
  local name=$1 expected=$2 status
  shift 2
  rm -rf "$drive_c/NembricAIApp" "$log"
  world_forget_ai_client
  status=$(cd "$work" && world_exit_code "$@" /quiet '/answers=C:\NembricE2E\ai.ini')
  tr -d '\r' <"$log" >"$artefacts/layout-$name.log" 2>/dev/null || true
  [ "$status" = "$expected" ] || fail "$name: exit code $status, not $expected"
  if [ "$status" = 0 ]; then
    (cd "$drive_c/NembricAIApp" && find . -type f | sort | xargs sha256sum) >"$work/$name.files"
    (cd "$work" && world_exit_code "$WORLD_EXE" /quiet /uninstall /type=client >/dev/null)
  fi
}
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$work/ai.ini"
install server 0 "$WORLD_EXE" /source=localhost
world_stop_server
install named 0 "$WORLD_EXE" '/source=C:\NembricLayout'
grep -qxF 'Client Setup:Downloading;C:\NembricLayout;downloads/NembricAIAppSetup.cab' "$artefacts/layout-named.log" ||
  fail "named: the cabinet did not come from the layout"
cmp -s "$work/server.files" "$work/named.files" || fail "named: the client's files differ from an install from the server"
install inside 0 'C:\NembricLayout\NembricSetup.exe'
grep -qxF 'Client Setup:Downloading;C:\NembricLayout;downloads/NembricAIAppSetup.cab' "$artefacts/layout-inside.log" ||
  fail "inside: the setup started in the layout did not read from it"
cmp -s "$work/server.files" "$work/inside.files" || fail "inside: the client's files differ from an install from the server"
cp "$layout/downloads/NembricAIAppSetup.cab" "$work/cabinet.keep"
python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read()); b[len(b) // 2] ^= 1; open(p, "wb").write(b)' \
  "$layout/downloads/NembricAIAppSetup.cab"
install changed 1603 "$WORLD_EXE" '/source=C:\NembricLayout'
grep -qxF 'Client Setup:Download of NembricAIAppSetup.cab does not match its published SHA-256 digest' \
  "$artefacts/layout-changed.log" || fail "changed: the changed cabinet was not refused"
[ ! -e "$drive_c/NembricAIApp/NembricAI.exe" ] || fail "changed: the changed cabinet was extracted"
cp "$work/cabinet.keep" "$layout/downloads/NembricAIAppSetup.cab"
install file 87 "$WORLD_EXE" '/source=C:\NembricLayout\downloads\SHA256SUMS'
(cd "$work" && world_exit_code "$WORLD_EXE" /quiet /uninstall /type=client >/dev/null) || true

rm -f "$layout/downloads/HNbx.cab"
world_start_server --fault HNbx.cab=wrongdigest
layout refused 1603
[ ! -e "$layout/downloads/HNbx.cab" ] || fail "refused: the package not as published is in the layout"
! grep -q ' HNbx.cab$' "$layout/downloads/SHA256SUMS" || fail "refused: SHA256SUMS names the package"
grep -qxF 'Layout:HNbx.cab could not be fetched and verified: it is not in the layout' \
  "$artefacts/layout-refused.log" || fail "refused: no line says so"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "layout: built with every package verified, resumed without a fetch, installed from offline, a changed package and one not as published refused"
