#!/usr/bin/env bash
# Builds the cabinets that the host tests extract. usage: make_test_cabinets.sh OUT_DIR
#   plain.cab       readme.txt and bin\tool.dll (a name with a folder part), stamped 2024-03-01 12:00:00
#   nested.cab      top.dll, Data\readme.txt and Data\Forms\main.frm (folders two levels deep)
#   large.cab       one file of 300 000 bytes: several compressed blocks
#   update.cab      plain.cab's next version: readme.txt and bin\tool.dll changed, news.txt new, stamped a day
#                   later
#   truncated.cab   plain.cab cut inside its data
#   corrupt.cab     plain.cab with a data byte changed (its block checksum no longer holds)
#   notacab.cab     a text file
#   parent.cab      an entry named ..\evil.txt
#   rooted.cab      an entry named \evil.txt
#   drive.cab       an entry named C:\evil.txt
# gcab keeps no such names, so the last three are plain cabinets whose stored names are changed in place.
#   hostile/        cabinets built byte by byte by make_hostile_cabinets.py, with hostile/list.txt
set -euo pipefail
out=$1
export TZ=UTC LC_ALL=C
stamp='2024-03-01 12:00:00'
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$out" "$stage/plain/bin" "$stage/update/bin" "$stage/nested/Data/Forms" "$stage/large" "$stage/names/zz"

printf 'Halvorn Nembric test file\r\n' >"$stage/plain/readme.txt"
printf 'MZ tool library stand-in\r\n' >"$stage/plain/bin/tool.dll"
printf 'MZ top library stand-in\r\n' >"$stage/nested/top.dll"
printf 'Halvorn Nembric data\r\n' >"$stage/nested/Data/readme.txt"
printf 'form main\r\n' >"$stage/nested/Data/Forms/main.frm"
python3 -c '
import random, sys
random.seed(7)
words = ["halvorn", "nembric", "client", "server", "setup", "cabinet", "folder", "data"]
sys.stdout.write(" ".join(random.choice(words) for _ in range(60000))[:300000])
' >"$stage/large/large.dat"
printf 'outside\r\n' >"$stage/names/zz/evil.txt"
printf 'outside\r\n' >"$stage/names/zevil.txt"
find "$stage" -type f -exec touch -d "$stamp" {} +
printf 'Halvorn Nembric test file, next version\r\n' >"$stage/update/readme.txt"
printf 'MZ tool library stand-in, next version\r\n' >"$stage/update/bin/tool.dll"
printf 'What is new\r\n' >"$stage/update/news.txt"
find "$stage/update" -type f -exec touch -d '2024-03-02 12:00:00' {} +

(cd "$stage/plain" && gcab --create --zip "$out/plain.cab" readme.txt bin/tool.dll)
(cd "$stage/update" && gcab --create --zip "$out/update.cab" readme.txt bin/tool.dll news.txt)
(cd "$stage/nested" && gcab --create --zip "$out/nested.cab" top.dll Data/readme.txt Data/Forms/main.frm)
(cd "$stage/large" && gcab --create --zip "$out/large.cab" large.dat)
(cd "$stage/names" && gcab --create --zip "$stage/parent.cab" zz/evil.txt && gcab --create --zip "$stage/rooted.cab" zevil.txt)

python3 - "$out" "$stage" <<'PY'
import sys
out, stage = sys.argv[1], sys.argv[2]
plain = open(f"{out}/plain.cab", "rb").read()
# The first data block starts at the offset in the folder entry (bytes 36..40 of the cabinet).
data_start = int.from_bytes(plain[36:40], "little")
open(f"{out}/truncated.cab", "wb").write(plain[: data_start + 12])
corrupt = bytearray(plain)
corrupt[-3] ^= 0x55
open(f"{out}/corrupt.cab", "wb").write(bytes(corrupt))
open(f"{out}/notacab.cab", "wb").write(b"This is not a cabinet.\r\n" * 4)
def rename(source, old, new, target):
    cab = open(f"{stage}/{source}", "rb").read()
    assert len(old) == len(new) and cab.count(old + b"\0") == 1
    open(f"{out}/{target}", "wb").write(cab.replace(old + b"\0", new + b"\0"))
rename("parent.cab", b"zz\\evil.txt", b"..\\evil.txt", "parent.cab")
rename("parent.cab", b"zz\\evil.txt", b"C:\\evil.txt", "drive.cab")
rename("rooted.cab", b"zevil.txt", b"\\evil.txt", "rooted.cab")
PY

python3 "$(dirname "${BASH_SOURCE[0]}")/make_hostile_cabinets.py" "$out"
