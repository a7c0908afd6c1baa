#!/usr/bin/env bash
# A person installs each client build from dialog 113 against the local download server: chooses the bit
# size, leaves the field with Tab (the client directory is filled in), presses OK and confirms the
# completion box. Each run is checked line by line in its log, in the prefix's registry (uninstall entry and
# product keys), in the extracted files and their cabinet time stamps, the setup program's copy and the
# shortcut; one install behind a proxy of the system's settings. Then the failure roads: a package missing on the server, no server, a runtime installer
# exiting 1 (five boxes) and 3010. Last, the registered UninstallString and RepairPath are run as Windows
# runs them, and dialog 2000 is used as a person would.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
caption="Halvorn NembricAI Universal Setup"
maintenance_caption="Uninstall, Modify or Repair"
drive_c="$WINEPREFIX/drive_c"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
work="$drive_c/NembricE2E"
control="$drive_c/NembricTest"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
installed_setup="$drive_c/Program Files/Halvorn/NembricAI/NembricSetup.exe"
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
setup=
proxy=
trap '[ -n "$setup" ] && kill "$setup" 2>/dev/null; [ -n "$proxy" ] && kill "$proxy" 2>/dev/null; world_stop_server' EXIT

# A clean machine for one install; the runtimes present or missing.
prepare() {
  rm -rf "$work" "$drive_c/Nembric10App" "$drive_c/Nembric10App32" "$drive_c/NembricAIApp" \
    "$drive_c/Program Files/Halvorn" "$control" "$start_menu/Halvorn NembricAI.lnk" "$start_menu/Halvorn Nembric v10.1.lnk"
  mkdir -p "$work" "$control"
  reg_quiet delete "$uninstall_key" /f /reg:32
  # A server left registered by another test would keep the shared setup program at an uninstall.
  reg_quiet delete "${uninstall_key%Client}Server" /f /reg:32
  reg_quiet delete 'HKCU\Software\Halvorn' /f
  reg_quiet delete 'HKLM\SOFTWARE\Halvorn\NembricAI' /f /reg:64
  # So would the setup's event source left by another test's install.
  reg_quiet delete 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup' /f /reg:64
  for view in 32 64; do
    reg_quiet delete 'HKLM\SOFTWARE\Microsoft\VisualStudio\12.0' /f /reg:$view
    reg_quiet delete 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0' /f /reg:$view
  done
  if [ "$1" = present ]; then
    reg_quiet add 'HKLM\SOFTWARE\Microsoft\VisualStudio\12.0\VC\Runtimes\X64' /v Installed /t REG_DWORD /d 1 /f /reg:64
    reg_quiet add 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64' /v Installed /t REG_DWORD /d 1 /f /reg:32
    reg_quiet add 'HKLM\SOFTWARE\Microsoft\VisualStudio\14.0\VC\Runtimes\x64' /v Version /t REG_SZ \
      /d v14.40.33810.00 /f /reg:32
  fi
}

# install NAME BITSIZE: a person's install; the driver's output goes to $work/NAME.driver. The setup must end
# with exit code $expected_exit (0 unless a road sets it).
install() {
  local name=$1 bit_size=$2
  (cd "$work" && world_exit_code "$WORLD_EXE" /source=localhost >"$work/$name.exit") &
  setup=$!
  shift 2
  "$WORLD_RUN" "$WORLD_DRIVER" window "$caption" 60000 -- set 116 "$bit_size" -- key 116 tab -- get 120 \
    -- click 1 "$@" -- box ok 120000 -- gone 20000 | tr -d '\r' >"$work/$name.driver" ||
    fail "$name: the driver stopped: $(tail -1 "$work/$name.driver")"
  world_end_run "$name" client "${expected_exit:-0}"
}

# expect_log NAME LINE...: the whole log, line by line.
expect_log() {
  local name=$1
  shift
  printf '%s\n' "$@" >"$work/$name.expected"
  diff -u "$work/$name.expected" "$artefacts/client-$name.log" >"$work/$name.diff" ||
    { fail "$name: the log differs"; cat "$work/$name.diff"; }
}

expect_box() {
  grep -qxF -- "$2" "$work/$1.driver" || fail "$1: no box \"$2\""
}

# expect_registration NAME DISPLAY_NAME DIRECTORY VERSION
expect_registration() {
  local name=$1 display=$2 directory=$3 version=$4 value
  local setup_path='C:\Program Files\Halvorn\NembricAI\NembricSetup.exe'
  for pair in "DisplayName=$display" "UninstallString=\"$setup_path\" /uninstall /type=client" \
    "ModifyPath=\"$setup_path\" /modify /type=client" "RepairPath=\"$setup_path\" /repair /type=client" \
    "InstallLocation=$directory" "DisplayVersion=10.1" "Publisher=Halvorn Ltd." "DisplayIcon=$setup_path"; do
    value=$(reg_value 32 "$uninstall_key" "${pair%%=*}")
    [ "$value" = "${pair#*=}" ] || fail "$name: ${pair%%=*} is \"$value\", not \"${pair#*=}\""
  done
  [ "$(reg_value 64 'HKCU\Software\Halvorn\Nembric10\Client' InstallPath)" = "$directory" ] ||
    fail "$name: client InstallPath"
  [ "$(reg_value 64 'HKCU\Software\Halvorn\Nembric10\Client' Version)" = "$version" ] || fail "$name: client Version"
  [ "$(reg_value 64 'HKCU\Software\Halvorn\Nembric10\Client' DisplayName)" = "Nembric Client" ] ||
    fail "$name: client DisplayName"
  [ "$(reg_value 64 'HKLM\SOFTWARE\Halvorn\NembricAI\Server' Version)" = "10.1" ] || fail "$name: server Version"
  cmp -s "$installed_setup" "$WORLD_EXE" || fail "$name: no copy of the setup program in the product folder"
}

# expect_files NAME FOLDER FILE...: extracted, with the cabinet's time stamp.
expect_files() {
  local name=$1 folder=$2
  shift 2
  for file in "$@"; do
    [ -f "$folder/$file" ] || { fail "$name: $file not extracted"; continue; }
    [ "$(date -r "$folder/$file" '+%Y-%m-%d %H:%M:%S')" = "2024-03-01 12:00:00" ] ||
      fail "$name: $file has the time stamp $(date -r "$folder/$file" '+%Y-%m-%d %H:%M:%S')"
  done
}

# A client-only road never asks for SQL Server, so the log starts with the session.
session_lines=("Server Setup:Establishing Session" "Server Setup:Established Session without Proxy:" "User Interface:Begin updating Software"
  "Client Setup:Beging Updating Client Setup")
downloaded() {
  printf '%s\n' "Client Setup:Getting $1 from server" "Client Setup:Downloading;localhost;downloads/$1" \
    "Client Setup:Downloaded;localhost;downloads/$1"
}

# The last line of a run whose client could not be put in place and was taken back, and its box.
client_shortfall="User Interface:Could not install Nembric Client. The changes were taken back. Please see the setup log"
# taken_back FILE...: the lines of a client taken back at the end of its run, newest change first: the
# files, then the update folder and the client folder; with no component left, the setup program's copy
# and its folders go after it.
taken_back() {
  for file in "$@"; do
    printf '%s\n' "Client Setup:Removed file c:\\Nembric10App\\$file"
  done
  printf '%s\n' 'Client Setup:Removed folder c:\Nembric10App\Update' 'Client Setup:Removed folder c:\Nembric10App' \
    'User Interface:Removed registry value HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup\TypesSupported' \
    'User Interface:Removed registry value HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup\EventMessageFile' \
    'User Interface:Removed registry key HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup' \
    'User Interface:Removed C:\Program Files\Halvorn\NembricAI\NembricSetup.exe' \
    'User Interface:Removed folder C:\Program Files\Halvorn\NembricAI' \
    'User Interface:Removed folder C:\Program Files\Halvorn'
}

world_start_server

# 64 Bit, runtime missing: the 2013 runtime is installed first; the shortcut lands in the update folder.
prepare missing
install 64bit "64 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}"; downloaded vcredist_x64.exe
  downloaded Nembric10AppSetup.cab; printf '%s\n' "Client Setup:Updated Client Software" \
  "User Interface:Successfully updated Software")
expect_log 64bit "${lines[@]}"
expect_box 64bit $'box\tHalvorn Nembric Version 10.1 App\tSuccessfuly completed Setup'
grep -qxF $'text\t120\tc:\\Nembric10App' "$work/64bit.driver" || fail "64bit: client directory not filled in"
expect_registration 64bit Nembric10App 'c:\Nembric10App\' 10.1
expect_files 64bit "$drive_c/Nembric10App" Nembric10App.exe Nembric10App.ini ReadMe.txt
grep -qiF 'vcredist_x64.exe" /install /quiet /norestart|C:\Nembric10App\Update' "$control/vcredist_x64.log" 2>/dev/null ||
  fail "64bit: vcredist_x64.exe not run silently in the update folder"
# The shortcut lands in the common Start menu, whatever folder the run left current.
[ -f "$start_menu/Halvorn Nembric v10.1.lnk" ] || fail "64bit: no shortcut in the Start menu"

# 32 Bit, runtime present: nothing but the cabinet is fetched, and no shortcut is made.
prepare present
install 32bit "32 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}"; downloaded Nembric10AppSetup32.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log 32bit "${lines[@]}"
expect_registration 32bit Nembric10App 'c:\Nembric10App32\' 10.1
expect_files 32bit "$drive_c/Nembric10App32" Nembric10App.exe Nembric10App.ini ReadMe.txt
[ ! -e "$control/vcredist_x32.log" ] || fail "32bit: the runtime was installed although it is present"
[ -z "$(find "$drive_c/Nembric10App32" -name 'Halvorn*')" ] || fail "32bit: a shortcut was made"

# 64 Bit, runtime present; 32 Bit, runtime missing.
prepare present
install 64bit-present "64 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}"; downloaded Nembric10AppSetup.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log 64bit-present "${lines[@]}"
prepare missing
install 32bit-missing "32 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}"; downloaded vcredist_x32.exe
  downloaded Nembric10AppSetup32.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log 32bit-missing "${lines[@]}"
grep -qiF 'vcredist_x32.exe" /install /quiet /norestart|C:\Nembric10App32\Update' "$control/vcredist_x32.log" 2>/dev/null ||
  fail "32bit-missing: vcredist_x32.exe not run silently in the update folder"

# AI Client, runtime missing: the 2015-and-later runtime, checked with its log line.
prepare missing
install ai "AI Client"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}" "Client Setup:Checking for Pre-requisite"
  downloaded VC_redist.x64.exe; downloaded NembricAIAppSetup.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log ai "${lines[@]}"
expect_registration ai NembricAI 'c:\NembricAIApp\' AI
expect_files ai "$drive_c/NembricAIApp" NembricAI.exe NembricAI-models.txt ReadMe.txt
link="$start_menu/Halvorn NembricAI.lnk"
if [ -f "$link" ]; then
  grep -aqiF 'NembricAIApp\NembricAI.exe' "$link" || fail "ai: the shortcut does not lead to NembricAI.exe"
  ! grep -aqF 'NembricAIApp\\NembricAI.exe' "$link" || fail "ai: the shortcut target has a doubled backslash"
else
  fail "ai: no shortcut"
fi

# AI Client, runtime present: only the cabinet.
prepare present
install ai-present "AI Client"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}" "Client Setup:Checking for Pre-requisite"
  downloaded NembricAIAppSetup.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log ai-present "${lines[@]}"

# Behind a mandatory proxy, set in the system's WinHTTP settings (Wine takes them from http_proxy): the
# person leaves the Proxy Server field blank, and the session still goes through the detected proxy.
proxy_log=$(mktemp)
proxy_ready=$(mktemp -u)
python3 "$WORLD_ROOT/tests/e2e/connect_proxy.py" --log "$proxy_log" --ready "$proxy_ready" --lifetime 300 &
proxy=$!
for _ in $(seq 50); do [ -f "$proxy_ready" ] && break; sleep 0.1; done
prepare present
http_proxy=http://127.0.0.1:3128 install proxy "64 Bit"
kill "$proxy" 2>/dev/null || true
proxy=
mapfile -t lines < <(printf '%s\n' "Server Setup:Establishing Session" \
  "Server Setup:Established Session with Proxy:;127.0.0.1:3128" "${session_lines[@]:2}"
  downloaded Nembric10AppSetup.cab
  printf '%s\n' "Client Setup:Updated Client Software" "User Interface:Successfully updated Software")
expect_log proxy "${lines[@]}"
grep -qxF 'CONNECT localhost:443' "$proxy_log" || fail "proxy: the download did not go through the proxy"
rm -f "$proxy_log"

# The runtime installer exits with 1: five attempts, a warning box each, then the plain failure line.
prepare missing
echo 1 >"$control/vcredist_x64.exitcode"
expected_exit=1603 install runtime-fails "64 Bit" -- box ok 60000 -- box ok 60000 -- box ok 60000 -- box ok 60000 -- box ok 60000
[ "$(grep -c $'^box\tInstaller\tVC_redist exited with code 1$' "$work/runtime-fails.driver")" -eq 5 ] ||
  fail "runtime-fails: not five warning boxes"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}" "Client Setup:Getting vcredist_x64.exe from server" \
  "Client Setup:Downloading;localhost;downloads/vcredist_x64.exe" \
  "Client Setup:Could not install vcredist_x64.exe after 5 attempts"; downloaded Nembric10AppSetup.cab
  printf '%s\n' "Client Setup:Updated Client Software"
  taken_back ReadMe.txt Nembric10App.ini Nembric10App.exe 'Update\Nembric10AppSetup.cab' 'Update\vcredist_x64.exe'
  printf '%s\n' "User Interface:Successfully updated Software" "$client_shortfall")
expect_log runtime-fails "${lines[@]}"
[ "$(grep -c . "$control/vcredist_x64.log")" -eq 5 ] || fail "runtime-fails: not five runs"

# 3010: installed, a restart is needed; one run and no box.
prepare missing
echo 3010 >"$control/vcredist_x64.exitcode"
expected_exit=3010 install runtime-restart "64 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}"; downloaded vcredist_x64.exe
  downloaded Nembric10AppSetup.cab; printf '%s\n' "Client Setup:Updated Client Software" \
  "User Interface:An installer asked for a restart of Windows to complete the setup" \
  "User Interface:Successfully updated Software")
expect_log runtime-restart "${lines[@]}"
[ "$(grep -c . "$control/vcredist_x64.log")" -eq 1 ] || fail "runtime-restart: the installer ran more than once"
world_stop_server

# The client cabinet is missing on the server: the client is taken back, the empty file the answer left
# included.
world_start_server --fault Nembric10AppSetup.cab=missing404
prepare present
expected_exit=1603 install missing "64 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}" "Client Setup:Getting Nembric10AppSetup.cab from server" \
  "Client Setup:Downloading;localhost;downloads/Nembric10AppSetup.cab" \
  "Client Setup:Could not find Nembric10AppSetup.cab on server. Please contact you administrator" \
  "Client Setup:Updated Client Software"; taken_back 'Update\Nembric10AppSetup.cab'
  printf '%s\n' "User Interface:Successfully updated Software" "$client_shortfall")
expect_log missing "${lines[@]}"
[ ! -e "$drive_c/Nembric10App" ] || fail "missing: the client folder and the empty file are still there"
[ -z "$(reg_value 32 "$uninstall_key" DisplayName)" ] || fail "missing: the client taken back is registered"
world_stop_server

# No server: every attempt reports the server, five attempts; what did not arrive is never extracted.
prepare present
expected_exit=1603 install no-server "64 Bit"
mapfile -t lines < <(printf '%s\n' "${session_lines[@]}" "Client Setup:Getting Nembric10AppSetup.cab from server" \
  "Client Setup:Downloading;localhost;downloads/Nembric10AppSetup.cab"
  for _ in 1 2 3 4 5; do
    # Wine's winhttp.dll has no texts for its codes: the line holds the code alone.
    printf '%s\n' "Client Setup:Could not conact  Server:Server->localhost " "Client Setup:WinHTTP error 12029"
  done
  printf '%s\n' "Client Setup:Could not extract Nembric10AppSetup.cab after 5 attempts" \
    "Client Setup:Updated Client Software"; taken_back 'Update\Nembric10AppSetup.cab'
  printf '%s\n' "User Interface:Successfully updated Software" "$client_shortfall")
expect_log no-server "${lines[@]}"

# Maintenance: the registered commands, run as Windows runs them, from a folder on drive C.
world_start_server
prepare present
install for-maintenance "64 Bit"
maintain() {
  local name=$1 value=$2 command
  shift 2
  command=$(reg_value 32 "$uninstall_key" "$value")
  eval "command=($command)"
  rm -f "$work/$log_name"
  # A repair downloads: from the test's server, as the install did.
  [ "$name" = repair ] && command+=(/source=localhost)
  (cd "$work" && world_exit_code "${command[@]}" >"$work/$name.exit") &
  setup=$!
  "$WORLD_RUN" "$WORLD_DRIVER" window "$maintenance_caption" 60000 -- checked 2001 -- checked 2002 "$@" -- click 1 \
    -- box ok 60000 -- gone 20000 | tr -d '\r' >"$work/$name.driver" ||
    fail "$name: the driver stopped: $(tail -1 "$work/$name.driver")"
  world_end_run "$name" client 0
}
# The repair runs the client update again for the build the registration recorded.
maintain repair RepairPath -- tick 2004
grep -qx $'checked\t2002\t1' "$work/repair.driver" || fail "repair: dialog 2000 does not show Repair chosen"
expect_box repair $'box\tHalvorn Nembric Version 10.1 App\tSuccessfuly completed Setup for Repair'
expect_log repair "Server Setup:Establishing Session" \
  "Server Setup:Established Session without Proxy:" 'Client Setup:Client Directory;c:\Nembric10App\' \
  "Client Setup:Beging Updating Client Setup" \
  "Client Setup:Getting Nembric10AppSetup.cab from server" \
  "Client Setup:Downloading;localhost;downloads/Nembric10AppSetup.cab" \
  "Client Setup:Downloaded;localhost;downloads/Nembric10AppSetup.cab" "Client Setup:Updated Client Software" \
  "User Interface:Successfully repaired Software"
# The uninstall takes back what the install and the repair made; a file the person added stays.
echo "the person's own notes" >"$drive_c/Nembric10App/notes.txt"
maintain uninstall UninstallString -- tick 2004
grep -qx $'checked\t2001\t1' "$work/uninstall.driver" && grep -qx $'checked\t2002\t0' "$work/uninstall.driver" ||
  fail "uninstall: dialog 2000 does not show Uninstall chosen"
expect_box uninstall $'box\tHalvorn Nembric Version 10.1 App\tSuccessfuly completed Setup for Uninstall'
uninstall_log="$artefacts/client-uninstall.log"
[ "$(head -3 "$uninstall_log" | tr '\n' '|')" = 'Server Setup:Establishing Session|Server Setup:Established Session without Proxy:|Client Setup:Client Directory;c:\Nembric10App\|' ] &&
  [ "$(tail -1 "$uninstall_log")" = "User Interface:Successfully uninstalled Software" ] ||
  fail "uninstall: the log does not start and end as an uninstall's"
for line in 'Client Setup:Removed file c:\Nembric10App\Nembric10App.exe' 'Client Setup:Removed folder c:\Nembric10App\Update' \
  'Client Setup:Kept folder that is not empty c:\Nembric10App' \
  'Client Setup:Removed registry key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient' \
  'User Interface:Removing after setup ends: C:\Program Files\Halvorn\NembricAI\NembricSetup.exe'; do
  grep -qxF "$line" "$uninstall_log" || fail "uninstall: no line \"$line\""
done
left=$(cd "$drive_c/Nembric10App" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./notes.txt " ] || fail "uninstall: the client folder holds more than the person's file: $left"
[ -z "$(reg_value 32 "$uninstall_key" DisplayName)" ] || fail "uninstall: the entry is still in the registry"
# The running program left its folder at once, for a folder of its own in the system's temporary folder;
# the helper deletes it there once the program has ended.
[ ! -e "$installed_setup" ] || fail "uninstall: the setup program is still in its folder"
[ ! -e "$drive_c/Program Files/Halvorn/NembricAI" ] || fail "uninstall: the setup program's folder stays"
for _ in $(seq 100); do
  compgen -G "$drive_c/windows/temp/NembricSetup-*" >/dev/null || break
  sleep 0.2
done
! compgen -G "$drive_c/windows/temp/NembricSetup-*" >/dev/null ||
  fail "uninstall: the helper left the moved setup program: $(ls "$drive_c/windows/temp")"
# Started for a repair, the person switches to Uninstall: the run ends as an uninstall.
install for-switch "64 Bit"
maintain switched RepairPath -- tick 2001 -- tick 2004
expect_box switched $'box\tHalvorn Nembric Version 10.1 App\tSuccessfuly completed Setup for Uninstall'
[ -z "$(reg_value 32 "$uninstall_key" DisplayName)" ] || fail "switched: the entry is still in the registry"

[ "$WORLD_FAILURES" -eq 0 ] || exit 1
echo "client installs, failure roads and maintenance: as a person sees them; logs in $artefacts"
