#!/usr/bin/env bash
# A person installs the server from dialog 113 against the local download server, with the tests' DISM API
# in the prefix's system folder and the tests' IIS admin manager registered as IIS registers its own:
#   both      "Both", "AI Client", Enterprise, port 80, SQL Server Express "Yes": the whole log line by line,
#             the progress bar full, both registrations, the server files (folders two levels deep made
#             below the fresh server directory), the committed IIS tree, the DISM request, the SQL Server
#             setup's command line and output, and the password nowhere in the log or on standard output;
#   is1465    "Server" on port 1465: the information server's MSI installed by msiexec, nembricis.cfg
#             written in its folder; the server's uninstall removes the MSI's product again;
#             then the server's quiet uninstall: the site, pool and restriction entry gone from the IIS tree,
#             the moved binding back on port 80, the server's files, folders and keys gone, the client
#             still installed;
#   bare      "Server" with neither DISM nor IIS: the two failure lines, and the run ends as usual.
# usage: server_install_test.sh BUILD_DIR EXPECTED_IIS_CONFIGURATION
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
expected_iis=$2
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
caption="Halvorn NembricAI Universal Setup"
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricE2E"
control="$drive_c/NembricTest"
iis="$drive_c/NembricIIS"
server="$drive_c/HNembricAI"
dism="$drive_c/windows/system32/DismApi.dll"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
password='Nemb1c$x'
iis_class='HKLM\Software\Classes\CLSID\{2B72133B-3F5B-4602-8952-803546CE3344}'
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
is_product='{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A01}'
setup=
cleanup() {
  [ -n "$setup" ] && kill "$setup" 2>/dev/null
  rm -f "$dism"
  "$WORLD_RUN" reg delete "$iis_class" /f /reg:64 >/dev/null 2>&1 || true
  world_stop_server
}
trap cleanup EXIT

# prepare DISM IIS: a machine without the product and without the runtimes; the tests' DISM API and IIS
# admin manager there or not (yes/no).
prepare() {
  world_forget_product
  rm -rf "$work" "$control" "$iis" "$server" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn" \
    "$drive_c/Program Files/NembricIS"
  mkdir -p "$work" "$control" "$iis"
  rm -f "$dism"
  [ "$1" = yes ] && cp "$WORLD_BUILD/tests/e2e/DismApi.dll" "$dism"
  reg_quiet delete "$iis_class" /f /reg:64
  if [ "$2" = yes ]; then
    cp "$WORLD_BUILD/tests/e2e/iis_admin_server.dll" "$iis/"
    world_reg_add "$iis_class\\InProcServer32" /ve /d 'C:\NembricIIS\iis_admin_server.dll' /f /reg:64
    world_reg_add "$iis_class\\InProcServer32" /v ThreadingModel /d Both /f /reg:64
  fi
}

# install NAME DRIVER_COMMANDS...: the person fills the fields, presses OK, reads the progress bar while
# the completion box is up and confirms it. The setup's standard output goes to $work/NAME.stdout.
install() {
  local name=$1
  shift
  (cd "$work" && WORLD_OUTPUT="$work/$name.stdout" world_exit_code "$WORLD_EXE" /source=localhost >"$work/$name.exit") &
  setup=$!
  "$WORLD_RUN" "$WORLD_DRIVER" window "$caption" 60000 -- "$@" -- set 122 "$password" -- set 123 "$password" \
    -- click 1 -- box keep 300000 -- progress -- box ok -- gone 20000 | tr -d '\r' >"$work/$name.driver" ||
    fail "$name: the driver stopped: $(tail -1 "$work/$name.driver")"
  world_end_run "$name" server 0
  cp "$drive_c/Program Files/Halvorn/NembricAI/InstallRecord.txt" "$artefacts/server-$name-record.txt" 2>/dev/null ||
    fail "$name: no install record"
  grep -qxF $'progress\t100' "$work/$name.driver" || fail "$name: the progress bar is not full"
  grep -qxF $'box\tHalvorn Nembric Version 10.1 App\tSuccessfuly completed Setup' "$work/$name.driver" ||
    fail "$name: no completion box"
  ! grep -qF "$password" "$artefacts/server-$name.log" "$work/$name.stdout" || fail "$name: the password is shown"
}

# expect_log NAME LINE...: the whole log, line by line; the SQL Server setup's output, which comes in
# chunks of its own timing, is checked apart (expect_sql_output) and left out here.
expect_log() {
  local name=$1
  shift
  printf '%s\n' "$@" >"$work/$name.expected"
  grep -v -e '^Server Setup:SQL Server 2022 Setup (stand-in)' -e '^step ' -e '^$' "$artefacts/server-$name.log" |
    diff -u "$work/$name.expected" - >"$work/$name.diff" || { fail "$name: the log differs"; cat "$work/$name.diff"; }
}

# The output of the SQL Server setup, in more than one piece, all of it between its command line and
# "Installed SQL Server".
expect_sql_output() {
  python3 - "$work/$log_name" <<'PY' || fail "$1: the SQL Server setup's output is not all in the log"
import sys
# The setup's own line ends (CR LF, or CR CR LF from a C runtime's text mode) are not part of the text.
log = open(sys.argv[1], "rb").read().decode().replace("\r", "")
start = log.index("/SQLBACKUPDIR=C:\\\\sqlbackup\\\n") + len("/SQLBACKUPDIR=C:\\\\sqlbackup\\\n")
section = log[start:log.index("SQL Server Install:Installed SQL Server")]
pieces = [line for line in section.split("\n") if line.startswith("Server Setup:")]
text = "".join(line[len("Server Setup:"):] if line.startswith("Server Setup:") else line
               for line in section.split("\n"))
want = "".join(f"SQL Server 2022 Setup (stand-in): step {n:2d} of 12 - configuring the database engine instance"
               for n in range(1, 13))
sys.exit(0 if text == want and len(pieces) > 1 else 1)
PY
}

got() {
  printf '%s\n' "Server Setup:Getting $1 from server" "Server Setup:Downloading ;localhost;downloads/$1"
  [ "${2:-}" = extract ] && printf '%s\n' "Server Setup:Extracting;$1"
  printf '%s\n' "Server Setup:Downloaded ;localhost;downloads/$1"
}
server_cabinets() {
  for cabinet in "$@"; do got "$cabinet" extract; done
  got Nembric10App.cab
  got Nembric10App32.cab
  got NembricAiApp.cab
  got HNbx.cab extract
}
start_lines=("User Interface:Checking whether SQL Server installed" "Server Setup:Establishing Session"
  "Server Setup:Established Session without Proxy:" "User Interface:Begin updating Software")

world_start_server

# "Both", AI Client, Enterprise, port 80, SQL Server Express.
# The plan of a quiet Both install with SQL Server Express: it names the site, the pool, the features, the
# SQL Server setup and the server's files, and commits, enables, starts and writes nothing.
prepare yes yes
printf '[Setup]\r\nSetupType = Both\r\nBitSize = AI Client\r\nServerDirectory = C:\\HNembricAI\r\nEdition = Enterprise\r\nPort = 80\r\nInstallSqlServer = Yes\r\nSqlPassword = %s\r\n' \
  "$password" >"$work/both.ini"
status=$(cd "$work" && world_exit_code "$WORLD_EXE" '/plan=C:\NembricE2E\plan.json' '/answers=C:\NembricE2E\both.ini' \
  /source=localhost)
[ "$status" = 0 ] || fail "plan: exit code $status, not 0"
cp "$work/plan.json" "$artefacts/server-plan.json" 2>/dev/null || fail "plan: no plan written"
for made in "$iis/applicationHost.config" "$iis/commits.log" "$control/dism.log" "$control/SQLEXPR_x64_ENU.log" \
  "$server" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"; do
  [ ! -e "$made" ] || fail "plan: $made was made"
done
[ -z "$(reg_value 32 "$uninstall\NembricServer" DisplayName)" ] || fail "plan: the server's entry was written"
python3 - "$work/plan.json" <<'PY' || fail "plan: the plan misses a change of the server"
import json, sys
changes = json.load(open(sys.argv[1], encoding="utf-8"))["changes"]
def has(component, kind, **target):
    return any(c["component"] == component and c["kind"] == kind and all(c.get(k) == v for k, v in target.items())
               for c in changes)
wanted = [has("server", "site", item="HNembricAI"), has("server", "pool", item="HNembricAI"),
          has("server", "feature"), has("server", "handlers"), has("server", "folder", path="C:\\HNembricAI"),
          has("sql", "installer", path="C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe"),
          has("client", "folder", path="c:\\NembricAIApp")]
sys.exit(0 if all(wanted) else 1)
PY

prepare yes yes
install both set 119 Both -- key 119 tab -- set 116 "AI Client" -- key 116 tab -- set 114 'C:\HNembricAI' \
  -- set 125 Enterprise -- set 117 80 -- set 124 Yes
mapfile -t lines < <(printf '%s\n' "${start_lines[@]}" "Client Setup:Beging Updating Client Setup" \
  "Client Setup:Checking for Pre-requisite" "Client Setup:Getting VC_redist.x64.exe from server" \
  "Client Setup:Downloading;localhost;downloads/VC_redist.x64.exe" \
  "Client Setup:Downloaded;localhost;downloads/VC_redist.x64.exe" \
  "Client Setup:Getting NembricAIAppSetup.cab from server" \
  "Client Setup:Downloading;localhost;downloads/NembricAIAppSetup.cab" \
  "Client Setup:Downloaded;localhost;downloads/NembricAIAppSetup.cab" "Client Setup:Updated Client Software" \
  "Server Setup:Updating Server Setup Begin"
  got vcredist_x64.exe
  server_cabinets HNembricAI1.cab HNembricAI2.cab HNembricAI3.cab HNembricAI4.cab HNembricAI5.cab
  got SQLEXPR_x64_ENU.exe extract
  printf '%s\n' "Server Setup:Configured IIS for use with Halvorn Nembric 10.0" "Server Setup:Installing Website" \
    "Server Setup:80 is already in use on Default Web SiteDo you want to continue? " \
    "Server Setup:80 is moved to 8080 on Default Web Site" \
    "Server Setup:Successfully Created Website:HNembricAI  with application pool:HNembricAI" \
    "Server Setup:Updated Server Software" \
    'Server Setup:"C:\HNembricAI\Update\SQLEXPR_x64_ENU.exe"  /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE  /FEATURES=SQLEngine /SECURITYMODE=SQL /SAPWD=********  /ACTION=install /INSTANCENAME=MSSQLSERVER /SQLUSERDBDIR=C:\\sqldata\ /SQLBACKUPDIR=C:\\sqlbackup\' \
    "SQL Server Install:Installed SQL Server" "User Interface:Successfully updated Software")
expect_log both "${lines[@]}"
expect_sql_output both
sql_line='"C:\HNembricAI\Update\SQLEXPR_x64_ENU.exe"  /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE  /FEATURES=SQLEngine /SECURITYMODE=SQL /SAPWD=Nemb1c$x  /ACTION=install /INSTANCENAME=MSSQLSERVER /SQLUSERDBDIR=C:\\sqldata\ /SQLBACKUPDIR=C:\\sqlbackup\|C:\HNembricAI\Update'
[ "$(tr -d '\r' <"$control/SQLEXPR_x64_ENU.log")" = "$sql_line" ] || fail "both: the SQL Server setup's command line"
printf '%s\n' "DismInitialize level=2 log=null scratch=null" \
  "DismOpenSession image=DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845} windows=null drive=null" \
  "DismEnableFeature session=1 features=IIS-ApplicationDevelopment;IIS-CommonHttpFeatures;IIS-DefaultDocument;IIS-ISAPIExtensions;IIS-ISAPIFilter;IIS-WebServerManagementTools;IIS-ManagementConsole;IIS-NetFxExtensibility;IIS-RequestFiltering;IIS-Security;IIS-StaticContent;IIS-WebServer;IIS-WebServerRole;IIS-ASPNET45;IIS-NetFxExtensibility45 identifier=null package=0 limitAccess=0 sources=null/0 enableAll=1 cancel=null progress=set user=null" \
  "DismCloseSession session=1" "DismShutdown" >"$work/dism.expected"
diff -u "$work/dism.expected" <(tr -d '\r' <"$control/dism.log") || fail "both: the DISM request"
diff -u "$expected_iis" "$iis/applicationHost.config" || fail "both: the committed IIS configuration"
cp "$iis/applicationHost.config" "$artefacts/server-both-applicationHost.config"
setup_path='C:\Program Files\Halvorn\NembricAI\NembricSetup.exe'
for type in client server; do
  entry=$uninstall\\Nembric${type^}
  display=NembricAI location='c:\NembricAIApp\'
  [ "$type" = server ] && display='Halvorn NembricAI' location='C:\HNembricAI\'
  for pair in "DisplayName=$display" "UninstallString=\"$setup_path\" /uninstall /type=$type" \
    "ModifyPath=\"$setup_path\" /modify /type=$type" "RepairPath=\"$setup_path\" /repair /type=$type" \
    "InstallLocation=$location" "DisplayVersion=10.1" "Publisher=Halvorn Ltd." "DisplayIcon=$setup_path"; do
    value=$(reg_value 32 "$entry" "${pair%%=*}")
    [ "$value" = "${pair#*=}" ] || fail "both: $type ${pair%%=*} is \"$value\", not \"${pair#*=}\""
  done
done
for pair in 'InstallPath=C:\HNembricAI\' Version=10.1 'DisplayName=Halvorn NembricAI Server'; do
  [ "$(reg_value 64 'HKLM\SOFTWARE\Halvorn\NembricAI\Server' "${pair%%=*}")" = "${pair#*=}" ] ||
    fail "both: server product key ${pair%%=*}"
done
for pair in 'InstallPath=c:\NembricAIApp\' Version=AI 'DisplayName=Nembric Client'; do
  [ "$(reg_value 64 'HKCU\Software\Halvorn\Nembric10\Client' "${pair%%=*}")" = "${pair#*=}" ] ||
    fail "both: client product key ${pair%%=*}"
done
for file in HNembricAI.dll HNb10Cml.dll HNb10Cmn.dll HNb10Ntx.dll Hv10si.dll Hv10ci.dll Hv10math.dll \
  HNb10lzma.dll ReadMe.txt Templates/HNbx.xml Data/Forms/HNbxForm.xml; do
  [ -f "$server/$file" ] || fail "both: $file is not in the server directory"
done
for file in Config/Nembric10App.ini Models/NembricAI-models.txt; do
  [ -f "$server/Update/$file" ] || fail "both: the test extraction left no $file in the update folder"
done
[ -z "$(find "$server/Update" -maxdepth 1 -iname '*dll*')" ] || fail "both: DLLs left in the update folder"
for cabinet in Nembric10App.cab Nembric10App32.cab NembricAiApp.cab; do
  [ -f "$server/cab/$cabinet" ] || fail "both: $cabinet not kept in the cabinet folder"
done
[ -f "$drive_c/NembricAIApp/NembricAI.exe" ] || fail "both: the client is not installed"

# uninstall_server NAME: the server's quiet uninstall command as the registry gives it, ending with 0.
uninstall_server() {
  local command status
  command=$(reg_value 32 "$uninstall\\NembricServer" QuietUninstallString)
  eval "command=($command)"
  rm -f "$work/$log_name"
  status=$(cd "$work" && world_exit_code "${command[@]}")
  [ "$status" = 0 ] || fail "$1: the uninstall ended with $status"
  tr -d '\r' <"$work/$log_name" >"$artefacts/server-$1-uninstall.log" 2>/dev/null || fail "$1: no uninstall log"
  [ -z "$(reg_value 32 "$uninstall\\NembricServer" DisplayName)" ] || fail "$1: the server's entry stays"
}

uninstall_server both
configuration="$iis/applicationHost.config"
cp "$configuration" "$artefacts/server-both-uninstalled-applicationHost.config"
! grep -qE '<site name="HNembricAI"|<add name="HNembricAI"|<add path="C:\\HNembricAI' "$configuration" ||
  fail "both: the site, the pool or the restriction entry stays in the IIS configuration"
grep -qF 'bindingInformation="*:80:"' "$configuration" && ! grep -qF 'bindingInformation="*:8080:"' "$configuration" ||
  fail "both: the Default Web Site's binding is not back on port 80"
grep -qxF 'Server Setup:Restored binding *:80: of Default Web Site' "$artefacts/server-both-uninstall.log" ||
  fail "both: no line for the binding given back"
# The client's shortcut is in the Start menu, not in a folder of the server: nothing of the server stays.
[ ! -e "$server" ] || fail "both: the server directory stays: $(cd "$server" && find . | sort | tr '\n' ' ')"
[ -f "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Halvorn NembricAI.lnk" ] ||
  fail "both: the client's shortcut went with the server"
[ -z "$(reg_value 64 'HKLM\SOFTWARE\Halvorn\NembricAI\Server' Edition)" ] || fail "both: the server's product values stay"
[ -f "$drive_c/NembricAIApp/NembricAI.exe" ] && [ -n "$(reg_value 32 "$uninstall\\NembricClient" DisplayName)" ] ||
  fail "both: the client went with the server"
[ -f "$drive_c/Program Files/Halvorn/NembricAI/NembricSetup.exe" ] || fail "both: the setup program went while the client stays"

# "Server" on the information server's port: its MSI through msiexec, its configuration file.
prepare yes yes
install is1465 set 119 Server -- key 119 tab -- set 114 'C:\HNembricAI' -- set 125 Essential -- set 117 1465 \
  -- set 124 No
grep -qxF 'Server Setup:Downloaded ;localhost;downloads/NembricISSetup.msi' "$artefacts/server-is1465.log" ||
  fail "is1465: the information server's MSI was not fetched"
[ -f "$drive_c/Program Files/NembricIS/NembricIS.exe" ] || fail "is1465: the information server is not in its folder"
[ "$(reg_value 64 'HKLM\SOFTWARE\Halvorn\NembricIS' Version)" = 10.1.3 ] || fail "is1465: the MSI is not installed"
printf 'DOC_ROOT=\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n' | cmp -s - "$drive_c/Program Files/NembricIS/nembricis.cfg" ||
  fail "is1465: nembricis.cfg is not written"
[ "$(reg_value 32 "$uninstall\\NembricServer" DisplayName)" = "Halvorn NembricAI" ] || fail "is1465: not registered"
uninstall_server is1465
[ -z "$(reg_value 64 'HKLM\SOFTWARE\Halvorn\NembricIS' Version)" ] || fail "is1465: the MSI's product stays"
grep -qxF "Server Setup:Removed $is_product" "$artefacts/server-is1465-uninstall.log" ||
  fail "is1465: no line for the MSI removed"

# "Server" where neither DISM nor IIS is: the 64-bit runtime comes with the server, each failure is one
# line, and the run still ends as a run ends.
prepare no no
install bare set 119 Server -- key 119 tab -- set 116 "64 Bit" -- set 114 'C:\HNembricAI' -- set 125 Team \
  -- set 117 8081 -- set 124 No
mapfile -t lines < <(printf '%s\n' "${start_lines[@]}" "Server Setup:Updating Server Setup Begin"
  got vcredist_x64.exe
  server_cabinets HNembricAI1.cab HNembricAI2.cab HNembricAI3.cab
  printf '%s\n' "Server Setup:Could not configure IIS. Please do it manually" "Server Setup:Installing Website" \
    "Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. Please add these features" \
    "Server Setup:Updated Server Software" "User Interface:Successfully updated Software")
expect_log bare "${lines[@]}"
grep -qiF 'vcredist_x64.exe" /install /quiet /norestart|C:\HNembricAI\Update' "$control/vcredist_x64.log" 2>/dev/null ||
  fail "bare: vcredist_x64.exe not run silently in the server's update folder"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "server install: both, the information server's port and a machine without DISM and IIS"
