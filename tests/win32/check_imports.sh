#!/usr/bin/env bash
# The exe as Windows' loader sees it before the entry runs. Every DLL in its import table is mapped by the
# loader, searching the exe's own folder first: a copy planted there (in a Downloads folder, say) would run
# as administrator. So only DLLs that cannot be planted may be imported statically:
#   KnownDLLs (the loader maps them from the system folder's section objects, whatever lies beside the exe):
#     kernel32, advapi32, gdi32, user32, ole32, oleaut32, shell32, msvcrt
# Every other system DLL is delay-loaded, bound at its first call from the system folder alone once the
# entry has called SetDefaultDllDirectories, or loaded by its adapter from the system folder. comctl32 is
# delay-loaded too: the manifest binds it to the side-by-side Common Controls 6.0 assembly, but its own
# import of uxtheme would be looked for beside the exe. The load configuration carries DependentLoadFlags
# LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800), so the dependencies of the mapped DLLs are not searched for beside
# the exe either, and no function that starts a program by a search (WinExec, ShellExecute, system) is
# imported.
# Usage: check_imports.sh EXE OBJDUMP
set -euo pipefail
exe=$1 objdump=$2
allowed=" kernel32.dll advapi32.dll gdi32.dll user32.dll ole32.dll oleaut32.dll shell32.dll msvcrt.dll "
delayed=" winhttp.dll uxtheme.dll comctl32.dll cabinet.dll bcrypt.dll msi.dll wintrust.dll crypt32.dll "
failures=0
fail() { echo "FAIL: $*"; failures=1; }

headers=$("$objdump" -p "$exe")
static=$(awk '/^The Import Tables/ { on = 1 } /^The (Export|Delay Import)/ { on = 0 }
              on && /DLL Name:/ { print tolower($3) }' <<<"$headers")
[ -n "$static" ] || fail "no import table read from $exe"
for dll in $static; do
  [[ "$allowed" == *" $dll "* ]] || fail "$dll is imported statically; it is no KnownDLL and may be planted beside the exe"
done
for dll in $delayed; do
  grep -qx "$dll" <<<"$static" && fail "$dll is imported statically instead of delay-loaded"
done
# A delay-loaded DLL is named in the image for the delay-load helper (this linker does not fill the image's
# delay-import directory, so its descriptors are read through the names they point to).
names=$(strings -a "$exe" | tr 'A-Z' 'a-z')
for dll in $delayed; do
  grep -qx "$dll" <<<"$names" || fail "$dll is not among the delay imports"
done
grep -q "SetDefaultDllDirectories" <<<"$headers" || fail "SetDefaultDllDirectories is not imported"
for function in WinExec ShellExecuteA ShellExecuteW ShellExecuteExA ShellExecuteExW system _wsystem _popen; do
  grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+$function\$" <<<"$headers" && fail "$function starts programs by a search"
done

# DependentLoadFlags: the load configuration's 16-bit field at offset 0x4E.
config=$(grep -E "^Entry a " <<<"$headers" | awk '{ print $3, $4 }')
read -r address size <<<"$config"
[ "$((16#$size))" -ge $((0x50)) ] || fail "the load configuration is missing or too small (size 0x$size)"
if [ "$((16#$size))" -ge $((0x50)) ]; then
  image_base=$(awk '/^ImageBase/ { print $2 }' <<<"$headers")
  flags=$("$objdump" -s --start-address=$((16#$image_base + 16#$address + 0x4E)) \
    --stop-address=$((16#$image_base + 16#$address + 0x50)) "$exe" | awk '/^ [0-9a-f]+ / { print $2; exit }')
  [ "$flags" = "0008" ] || fail "DependentLoadFlags are '$flags', not 0x800 (bytes 0008)"
fi

[ "$failures" -eq 0 ] && echo "imports: only KnownDLLs are imported statically; the other system DLLs are delay-loaded"
exit "$failures"
