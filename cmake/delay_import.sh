#!/usr/bin/env bash
# Makes a delay-import library for a system DLL from mingw-w64's import library of it: every function the
# import library names, bound at its first call through LoadLibrary (with the process's default DLL
# directories, the system folder alone) instead of by the loader before the program's entry.
# Usage: delay_import.sh NM DLLTOOL IMPORT_LIBRARY DLL_NAME OUTPUT.a
set -euo pipefail
nm=$1 dlltool=$2 import_library=$3 dll=$4 output=$5
definition=${output%.a}.def
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$import_library" | awk '$2 == "I" && $3 ~ /^__imp_/ { sub(/^__imp_/, "", $3); print $3 }' | sort -u
} >"$definition"
"$dlltool" --input-def "$definition" --output-delaylib "$output" --dllname "$dll"
