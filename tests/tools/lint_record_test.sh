#!/usr/bin/env bash
# The lint's record: in a small tree built with the host compiler, a clean file goes on record and is not
# linted again; a change to a header it reads, and a change to its compile command, each make it linted
# again, and a finding in that header is reported.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
lint="$root/tools/lint.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=1; }

mkdir -p "$work/src" "$work/tools"
cp "$root/.clang-tidy" "$work/"
printf '%s\n' '#pragma once' 'int Twice(int value);' >"$work/src/twice.h"
printf '%s\n' '#include "twice.h"' '' 'int Twice(int value) { return 2 * value; }' >"$work/src/twice.cpp"
printf '%s\n' 'int Other() { return 1; }' >"$work/src/other.cpp"
printf '%s\n' 'cmake_minimum_required(VERSION 3.20)' 'project(small CXX)' \
  'set(CMAKE_EXPORT_COMPILE_COMMANDS ON)' 'add_library(small STATIC src/twice.cpp src/other.cpp)' >"$work/CMakeLists.txt"
git -C "$work" init -q && git -C "$work" add -A
build() { cmake -S "$work" -B "$work/build/host" -G Ninja -DCMAKE_CXX_COMPILER=clang++ "$@" >/dev/null && cmake --build "$work/build/host" >/dev/null; }
# lint_run EXPECTED_LINE [--update]: the lint's first line must be EXPECTED_LINE.
lint_run() {
  local expected=$1 out status=0
  shift
  out=$(python3 "$lint" --root "$work" "$@") || status=$?
  [ "$(head -1 <<<"$out")" = "$expected" ] || fail "expected \"$expected\", got: $out"
  return "$status"
}

build
lint_run "lint: 2 of 2 files; 0 with a clean lint of the same inputs on record" --update || fail "the tree is not clean"
lint_run "lint: 0 of 2 files; 2 with a clean lint of the same inputs on record" || fail "a recorded tree failed"
# A header read by one file: that file alone is linted again, and its finding is reported.
printf '%s\n' 'inline int* Nothing() { return 0; }' >>"$work/src/twice.h"
build
lint_run "lint: 1 of 2 files; 1 with a clean lint of the same inputs on record" && fail "the finding was not reported"
out=$(python3 "$lint" --root "$work") || true
grep -q "twice.h:3:.*modernize-use-nullptr" <<<"$out" || fail "the finding is not named: $out"
# Another compile command: every file again.
sed -i '$d' "$work/src/twice.h"
build -DCMAKE_CXX_FLAGS=-DSMALL=1
lint_run "lint: 2 of 2 files; 0 with a clean lint of the same inputs on record" || fail "the tree is not clean"
[ "$failures" -eq 0 ] && echo "the lint's record holds" || exit 1
