#!/usr/bin/env bash
# Builds the large cabinet of the download and extraction benchmarks: "NembricLarge.cab" with 288 MiB of
# real, compressible data (log-like text and a table of records in four files, one in a folder), with the
# package set's fixed time stamp. usage: build_large_cabinet.sh OUT_DIR
set -euo pipefail
out=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
export TZ=UTC
mkdir -p "$out" "$stage/Data"
python3 - "$stage" <<'PY'
import random, sys
stage = sys.argv[1]
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
text_file(f"{stage}/NembricJournal.txt", 96)
text_file(f"{stage}/Data/NembricLedger.txt", 96)
record_file(f"{stage}/Data/NembricStock.dat", 64)
text_file(f"{stage}/NembricArchive.txt", 32)
PY
cd "$stage"
find . -type f -exec touch -d '2024-03-01 12:00:00' {} +
gcab --create --zip "$out/NembricLarge.cab" NembricJournal.txt Data/NembricLedger.txt Data/NembricStock.dat \
  NembricArchive.txt
touch -d '2024-03-01 12:00:00' "$out/NembricLarge.cab"
ls -l "$out/NembricLarge.cab"
