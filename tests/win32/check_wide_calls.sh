#!/usr/bin/env bash
# The exe calls the wide (W) form of every Windows function that takes or gives a text. The ANSI (A) form
# converts with the system's code page, which on Windows before 10 1903 (Server 2016 and 2019) turns a
# character outside it into '?': a folder named Łódź on a Western European system would not be found.
# The functions the exe imports, statically or through the delay-load helper (whose names sit in the
# image as texts), are matched against the exports of the system DLLs' import libraries; an A function
# among them fails the check unless it is named below with why it may stay.
# Usage: check_wide_calls.sh EXE NM CC
set -euo pipefail
exe=$1 nm=$2 cc=$3
# Of the mingw-w64 runtime, linked statically, never with a text from the setup:
#   CreateEventA, CreateSemaphoreA  winpthreads' unnamed events and semaphores (no name is passed);
#   OutputDebugStringA              winpthreads' debugger notes;
#   LoadLibraryA                    the delay-load helper's fallback with the import's ASCII DLL name,
#                                   after the setup's own hook has loaded it from the system folder.
kept=" CreateEventA CreateSemaphoreA OutputDebugStringA LoadLibraryA "
libraries="kernel32 advapi32 gdi32 user32 ole32 oleaut32 shell32 winhttp uxtheme comctl32 cabinet bcrypt msi
           wintrust crypt32"
exports=$(for library in $libraries; do
  archive=$("$cc" -print-file-name="lib$library.a")
  [ -f "$archive" ] || { echo "FAIL: no import library lib$library.a" >&2; exit 1; }
  "$nm" "$archive" 2>/dev/null | awk '$2 == "T" || $2 == "I" { print $3 }' | sed -n 's/^__imp_//p'
done | sort -u)
[ -n "$exports" ] || { echo "FAIL: no exports read from the import libraries"; exit 1; }
names=$(strings -a "$exe" | grep -xE '[A-Za-z][A-Za-z0-9]*[a-z0-9]A' | sort -u)
imported=$(comm -12 <(printf '%s\n' "$exports") <(printf '%s\n' "$names"))
failures=0
for function in $imported; do
  if [[ "$kept" == *" $function "* ]]; then
    echo "kept: $function (no text of the setup passes through it)"
  else
    echo "FAIL: $function is the ANSI form; the adapter must call ${function%A}W"
    failures=1
  fi
done
[ "$failures" -eq 0 ] && echo "wide calls: no ANSI function takes a text of the setup"
exit "$failures"
