#!/usr/bin/env bash
# Makes a release from the committed tree: builds the setup program (the windows preset, in a tree of its
# own, build/release-tree, without the tests, pinned to the publishers NEMBRIC_PUBLISHER_PINS names), signs
# it (tools/sign.sh, with the certificate named by the NEMBRIC_SIGN_* variables), writes the winget manifest
# with the signed program's SHA-256, and lists both in SHA256SUMS. A release without pinned publishers is
# refused: it would start any package whose signature verifies (docs/deploying.md says which keys to pin).
#
#   tools/release.sh [--out DIR] [--allow-changes]
#
# DIR is build/release by default and is made anew. A tree with changes that are not committed is refused
# (--allow-changes lets a test make a release of its working tree), so that every release is a commit.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/build/release"
allow_changes=0
while [ "$#" -gt 0 ]; do
  case "$1" in
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --allow-changes) allow_changes=1; shift ;;
    *) echo "usage: tools/release.sh [--out DIR] [--allow-changes]" >&2; exit 2 ;;
  esac
done
: "${NEMBRIC_SIGN_CERT:?NEMBRIC_SIGN_CERT names no certificate: a release is signed (see docs/deploying.md)}"
: "${NEMBRIC_PUBLISHER_PINS:?NEMBRIC_PUBLISHER_PINS names no publisher key: a release pins the publishers of its packages (see docs/deploying.md)}"
# Files named relative to where the release was started.
for name in NEMBRIC_SIGN_CERT NEMBRIC_SIGN_KEY NEMBRIC_SIGN_PASSWORD_FILE NEMBRIC_SIGN_CA; do
  [ -z "${!name:-}" ] || export "$name=$(realpath -m "${!name}")"
done
cd "$root"
if [ "$allow_changes" -eq 0 ] && [ -n "$(git status --porcelain)" ]; then
  echo "the tree has changes that are not committed: a release is made from a commit" >&2
  git status --short >&2
  exit 1
fi

tools/bootstrap.sh
tree=build/release-tree
cmake --preset windows -B "$tree" -DBUILD_TESTING=OFF -DNEMBRIC_PUBLISHER_PINS="$NEMBRIC_PUBLISHER_PINS" >/dev/null
cmake --build "$tree" --target NembricSetup

rm -rf "$out"
mkdir -p "$out"
# Signing comes after the build's last change to the program; the manifest's hash after signing.
tools/sign.sh "$tree/src/NembricSetup.exe" "$out/NembricSetup.exe"
python3 tools/winget_manifest.py --exe "$out/NembricSetup.exe" --out "$out/Halvorn.NembricSetup.yaml"
(cd "$out" && sha256sum NembricSetup.exe Halvorn.NembricSetup.yaml >SHA256SUMS)
echo "release of $(git rev-parse --short HEAD)$([ -z "$(git status --porcelain)" ] || echo ' with changes') in $out:"
cat "$out/SHA256SUMS"
