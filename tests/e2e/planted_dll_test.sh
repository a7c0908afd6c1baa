#!/usr/bin/env bash
# The setup program as a person downloads it: a copy in "C:\users\Łukasz\Downloads" (a folder outside the
# ANSI code page) beside DLLs planted under the names of the system DLLs it loads (uxtheme, comctl32,
# winhttp, cabinet, msi). Wine is told to prefer a DLL found beside the program to its own, as Windows'
# loader does for every DLL that is no KnownDLL. A quiet install of the AI client from there downloads and
# extracts through those DLLs' functions, and must:
#   - never load a planted DLL (each writes a marker when loaded; an exe that imports them statically loads
#     every one before its entry runs);
#   - end with 0, its log in the start folder and the setup program copied from the non-ASCII path.
# Then the dialog (themes and common controls) is shown from there as a person starts it, and no planted
# DLL is loaded either.
# Not planted, because Wine cannot show what Windows does with them: Wine resolves the imports of its own
# DLLs beside the exe whatever search flags the load was given (Windows applies
# LOAD_LIBRARY_SEARCH_SYSTEM32 to a DLL's dependencies too), so a planted bcrypt.dll is taken as the import
# of Wine's winhttp, and a planted version.dll as the import of Wine's user32 (a KnownDLL with no such
# import on Windows). The import-table check (tests/win32/check_imports.sh) covers bcrypt statically.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
downloads="$drive_c/users/Łukasz/Downloads"
control="$drive_c/NembricTest"
log_name="Halvorn NembricAI  Setup v10.1.3.Log"
trap 'world_stop_server; rm -rf "$drive_c/users/Łukasz"' EXIT

rm -rf "$downloads" "$control" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"
mkdir -p "$downloads" "$control"
reg_quiet delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient' /f /reg:32
reg_quiet delete 'HKCU\Software\Halvorn' /f
reg_quiet delete 'HKLM\SOFTWARE\Halvorn' /f /reg:64
cp "$WORLD_EXE" "$downloads/NembricSetup.exe"
for dll in uxtheme comctl32 winhttp cabinet msi; do
  cp "$WORLD_BUILD/tests/e2e/planted_dll.dll" "$downloads/$dll.dll"
done
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$downloads/ai.ini"

world_start_server
answers="$(world_winpath "$downloads")\\ai.ini"
status=$(cd "$downloads" &&
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;uxtheme,comctl32,winhttp,cabinet,msi=n,b" \
    world_exit_code "$downloads/NembricSetup.exe" /quiet "/answers=$answers" /source=localhost)
world_stop_server

if [ -s "$control/planted.log" ]; then
  fail "planted DLLs were loaded: $(tr '\n' ' ' <"$control/planted.log")"
fi
[ "$status" = 0 ] || fail "the quiet install from the Downloads folder ended with $status, not 0"
if [ -f "$downloads/$log_name" ]; then
  tr -d '\r' <"$downloads/$log_name" >"$artefacts/planted-dlls.log"
  grep -qx "User Interface:Successfully updated Software" "$artefacts/planted-dlls.log" ||
    fail "the log does not end the install"
else
  fail "no log in the start folder $(ls "$drive_c/users")"
fi
cmp -s "$WORLD_EXE" "$drive_c/Program Files/Halvorn/NembricAI/NembricSetup.exe" ||
  fail "the setup program was not copied from the non-ASCII folder"

# The dialog as a person starts the program: uxtheme and comctl32 come into play.
(cd "$downloads" && WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;uxtheme,comctl32,winhttp,cabinet,msi=n,b" \
  exec "$WORLD_RUN" "$downloads/NembricSetup.exe") &
setup=$!
"$WORLD_RUN" "$WORLD_DRIVER" window "Halvorn NembricAI Universal Setup" 60000 -- kill >/dev/null ||
  fail "the dialog did not show from the Downloads folder"
wait "$setup" || true
if [ -s "$control/planted.log" ]; then
  fail "planted DLLs were loaded by the dialog: $(tr '\n' ' ' <"$control/planted.log")"
fi

[ "$WORLD_FAILURES" -eq 0 ] && echo "planted DLLs: none loaded; the install from a non-ASCII folder completed"
exit "$((WORLD_FAILURES > 0))"
