#!/usr/bin/env bash
# Builds the large cabinet of the extraction benchmark: "NembricLarge.cab" with 288 MiB of real,
# compressible data (log-like text and a table of records in four files, one in a folder), with the package
# set's fixed time stamp; with --short, "NembricShort.cab" of the same kind with 64 MiB, for the short form
# that the test run uses. usage: build_large_cabinet.sh [--short] OUT_DIR
set -euo pipefail
name=NembricLarge.cab
sizes="96 96 64 32"
if [ "$1" = --short ]; then
  name=NembricShort.cab
  sizes="24 24 8 8"
  shift
fi
out=$1
[ -f "$out/$name" ] && exit 0
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
export TZ=UTC
mkdir -p "$out" "$stage/Data"
python3 - "$stage" $sizes <<'PY'
import random, sys
stage = sys.argv[1]
journal, ledger, stock, archive = (int(size) for size in sys.argv[2:])
rng = random.Random(20240301)
words = ("order invoice customer ledger stock account posting journal balance warehouse article price "
         "quantity delivery supplier tax period closing report").split()
def text_file(path, mib):
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        written, line_no = 0, 0
        while written < mib << 20:
            line_no += 1
            line = f"{line_no:09d} " + " ".join(rng.choice(words) for _ in range(12)) + f" {rng.randint(0, 99999):05d}\n"
            f.write(line)
            written += len(line) + 1
def record_file(path, mib):
    with open(path, "wb") as f:
        for i in range((mib << 20) // 64):
            f.write(i.to_bytes(8, "little") + rng.randbytes(8) + bytes(48))
text_file(f"{stage}/NembricJournal.txt", journal)
text_file(f"{stage}/Data/NembricLedger.txt", ledger)
record_file(f"{stage}/Data/NembricStock.dat", stock)
text_file(f"{stage}/NembricArchive.txt", archive)
PY
cd "$stage"
find . -type f -exec touch -d '2024-03-01 12:00:00' {} +
gcab --create --zip "$out/$name.part" NembricJournal.txt Data/NembricLedger.txt Data/NembricStock.dat \
  NembricArchive.txt
touch -d '2024-03-01 12:00:00' "$out/$name.part"
mv "$out/$name.part" "$out/$name"
ls -l "$out/$name"
