#!/usr/bin/env bash
# The website installation through the real adapters under Wine, where no IIS exists: first without an
# admin manager (the class-not-registered line), then against the test's admin manager registered in the
# prefix under the admin manager's class. The configuration it commits must be the one the host test of
# the same scenario commits (port 8081 beside the "Default Web Site" on 80, the server in C:\HNembricAI\).
# usage: website_test.sh BUILD_DIR EXPECTED_CONFIGURATION
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
expected=$2
drive_c="$WINEPREFIX/drive_c"
server="$drive_c/HNembricAI"
iis="$drive_c/NembricIIS"
logs="$drive_c/NembricIISLog"
log="$logs/Halvorn NembricAI  Setup v10.1.3.Log"
key='HKLM\Software\Classes\CLSID\{2B72133B-3F5B-4602-8952-803546CE3344}\InProcServer32'
installer="$WORLD_BUILD/tests/e2e/website_install.exe"
unregister() { "$WORLD_RUN" reg delete "${key%\\InProcServer32}" /f /reg:64 >/dev/null 2>&1 || true; }
trap unregister EXIT

rm -rf "$server" "$iis" "$logs"
mkdir -p "$server" "$iis" "$logs"
for module in HNembricAI.dll HNb10Cml.dll HNb10Cmn.dll HNb10Ntx.dll Hv10si.dll Hv10ci.dll Hv10math.dll HNb10lzma.dll; do
  echo x >"$server/$module"
done
cp "$WORLD_BUILD/tests/e2e/iis_admin_server.dll" "$iis/"

# No admin manager: the message of the access step, nothing else.
unregister
out=$("$WORLD_RUN" "$installer" 'C:\HNembricAI\' 8081 'C:\NembricIISLog' | tr -d '\r') || true
[ "$out" = "result=0" ] || fail "without IIS: $out"
printf '%s\n' "Server Setup:Installing Website" \
  "Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. Please add these features" \
  >"$logs/expected.log"
diff -u "$logs/expected.log" <(tr -d '\r' <"$log") || fail "without IIS: the log differs"

# The test's admin manager, registered as IIS registers its own.
world_reg_add "$key" /ve /d 'C:\NembricIIS\iis_admin_server.dll' /f /reg:64
world_reg_add "$key" /v ThreadingModel /d Both /f /reg:64
out=$("$WORLD_RUN" "$installer" 'C:\HNembricAI\' 8081 'C:\NembricIISLog' | tr -d '\r') || true
[ "$out" = "result=1" ] || fail "with the admin manager: $out"
printf '%s\n' "Server Setup:Installing Website" \
  "Server Setup:Successfully Created Website:HNembricAI8081  with application pool:HNembricAI8081" \
  >"$logs/expected.log"
diff -u "$logs/expected.log" <(tr -d '\r' <"$log") || fail "with the admin manager: the log differs"
printf '%s\n' "MACHINE/WEBROOT/APPHOST" "MACHINE/WEBROOT/APPHOST/HNembricAI8081" >"$logs/commits.expected"
diff -u "$logs/commits.expected" "$iis/commits.log" || fail "the commits and their paths differ"
diff -u "$expected" "$iis/applicationHost.config" || fail "the committed configuration differs from the host test's"
mkdir -p "$WORLD_BUILD/artefacts"
cp "$iis/applicationHost.config" "$WORLD_BUILD/artefacts/website-applicationHost.config"
# Beside the log, what the install changed in IIS, before and after, read back through the adapter.
report="$logs/NembricSetup IIS changes.log"
cp "$report" "$WORLD_BUILD/artefacts/website-iis-changes.log"
for line in "MACHINE/WEBROOT/APPHOST: committed" "MACHINE/WEBROOT/APPHOST/HNembricAI8081: committed" \
  '  application pool "HNembricAI8081": (none) -> created with autoStart="true"' \
  '  requestFiltering/requestLimits: maxAllowedContentLength="" -> maxAllowedContentLength="524288000"'; do
  tr -d '\r' <"$report" | grep -qF -- "$line" || fail "the IIS change report lacks: $line"
done

# Once more over the website it made: the pool is there, and what the install changes on it is read first
# (typed values and whether the pool set them, through the adapter); the site of the same name is read
# whole before it goes (its name, id and start, its bindings, its application) and its location found;
# the configuration is as before.
out=$("$WORLD_RUN" "$installer" 'C:\HNembricAI\' 8081 'C:\NembricIISLog' | tr -d '\r') || true
kept='autoStart=b:1,managedPipelineMode=s:1,managedRuntimeVersion=t:,enable32BitAppOnWin64=b:0'
kept+=',processModel/identityType=s:0,failure/rapidFailProtection=b:0'
replaced='site with 3 properties, 1 child element(s), 1 application(s), and a location'
[ "$out" = "$(printf 'result=1\nkept=%s\nreplaced=%s' "$kept" "$replaced")" ] || fail "over the existing website: $out"
diff -u "$expected" "$iis/applicationHost.config" || fail "over the existing website: the configuration differs"
# The site goes and comes again; what is set again as it was is no change.
tr -d '\r' <"$report" | grep -qxF "  (no change)" || fail "over the existing website: the site level changed"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "website: the configuration committed through the admin manager's interfaces is the host test's"
