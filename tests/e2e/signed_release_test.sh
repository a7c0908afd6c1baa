#!/usr/bin/env bash
# The release as an administrator receives it, signed with a test code-signing certificate that openssl
# makes here (a CA, and a signer certificate for code signing issued by it):
#   - tools/release.sh builds, signs and writes the manifest and SHA256SUMS; the signature verifies against
#     the test CA (SHA-256), the manifest carries the signed program's hash and passes its checks;
#   - a key kept in a password-protected PKCS#12 file signs as well;
#   - the signature does not verify against another CA, nor once one byte of the program is changed;
#   - the signed program still runs: a quiet install of the AI client ends with 0, and the setup program's
#     copy under Program Files is the signed program, its signature intact.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
world_need_display "$0" "$@"
work=$(mktemp -d)
drive_c="$WINEPREFIX/drive_c"
media="$drive_c/NembricRelease"
trap 'world_stop_server; rm -rf "$work" "$media"' EXIT

# make_ca NAME: a self-signed CA in $work/NAME.pem and its key.
make_ca() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/$1.key" -out "$work/$1.pem" -days 7 \
    -subj "/CN=$1" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    >/dev/null 2>&1
}
make_ca "Nembric Test Code Signing CA"
make_ca "Another CA"
ca="$work/Nembric Test Code Signing CA.pem"
openssl req -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.csr" \
  -subj "/O=Halvorn Ltd./CN=Halvorn Ltd." >/dev/null 2>&1
printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
  >"$work/signer.ext"
openssl x509 -req -in "$work/signer.csr" -CA "$ca" -CAkey "$work/Nembric Test Code Signing CA.key" \
  -CAcreateserial -out "$work/signer.crt" -days 7 -extfile "$work/signer.ext" >/dev/null 2>&1
cat "$work/signer.crt" "$ca" >"$work/chain.pem"
echo "a test password" >"$work/password"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -certfile "$ca" \
  -passout "file:$work/password" -out "$work/signer.pfx"

# verifies FILE CA: osslsigncode's verdict on FILE's signature against CA ("ok" or "fails").
verifies() {
  if osslsigncode verify -CAfile "$2" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q "Message digest algorithm  : SHA256" "$work/verify.log"; then
    echo ok
  else
    echo fails
  fi
}

release="$work/release"
# Without pinned publishers there is no release.
NEMBRIC_PUBLISHER_PINS='' NEMBRIC_SIGN_CERT="$work/chain.pem" NEMBRIC_SIGN_KEY="$work/signer.key" \
  "$WORLD_ROOT/tools/release.sh" --out "$work/unpinned" --allow-changes >"$work/unpinned.log" 2>&1 &&
  fail "tools/release.sh made a release without pinned publishers"
grep -q "NEMBRIC_PUBLISHER_PINS names no publisher key" "$work/unpinned.log" ||
  fail "the refused release does not say why: $(tail -2 "$work/unpinned.log")"
# The release pins the test world's authority, whose publisher signed the packages it installs below.
NEMBRIC_PUBLISHER_PINS=$("$WORLD_ROOT/tools/publisher_pin.sh" "$WORLD_TLS/ca.pem") \
  NEMBRIC_SIGN_CERT="$work/chain.pem" NEMBRIC_SIGN_KEY="$work/signer.key" NEMBRIC_SIGN_CA="$ca" \
  "$WORLD_ROOT/tools/release.sh" --out "$release" --allow-changes >"$work/release.log" 2>&1 ||
  fail "tools/release.sh failed: $(tail -5 "$work/release.log")"
signed="$release/NembricSetup.exe"
[ "$(verifies "$signed" "$ca")" = ok ] || fail "the released program's signature does not verify: $(cat "$work/verify.log")"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the release"
grep -q "InstallerSha256: \"$(sha256sum "$signed" | cut -c1-64 | tr a-f A-F)\"" "$release/Halvorn.NembricSetup.yaml" ||
  fail "the manifest does not carry the signed program's SHA-256"

NEMBRIC_SIGN_CERT="$work/signer.pfx" NEMBRIC_SIGN_PASSWORD_FILE="$work/password" NEMBRIC_SIGN_CA="$ca" \
  "$WORLD_ROOT/tools/sign.sh" "$WORLD_EXE" "$work/pfx-signed.exe" >/dev/null 2>&1 ||
  fail "signing with a password-protected PKCS#12 file failed"
[ "$(verifies "$work/pfx-signed.exe" "$ca")" = ok ] || fail "the PKCS#12 signature does not verify"

[ "$(verifies "$signed" "$work/Another CA.pem")" = fails ] || fail "the signature verifies against another CA"
cp "$signed" "$work/changed.exe"
printf '\x90' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc status=none
[ "$(verifies "$work/changed.exe" "$ca")" = fails ] || fail "a changed program still verifies"

# The signed program runs: a quiet install of the AI client from the release folder.
world_trust_ca
rm -rf "$media" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"
reg_quiet delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient' /f /reg:32
reg_quiet delete 'HKCU\Software\Halvorn' /f
reg_quiet delete 'HKLM\SOFTWARE\Halvorn' /f /reg:64
mkdir -p "$media"
cp "$signed" "$media/NembricSetup.exe"
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$media/ai.ini"
world_start_server
status=$(cd "$media" && world_exit_code "$media/NembricSetup.exe" /quiet "/answers=C:\\NembricRelease\\ai.ini" /source=localhost)
world_stop_server
[ "$status" = 0 ] || fail "the signed program's quiet install ended with $status, not 0"
copy="$drive_c/Program Files/Halvorn/NembricAI/NembricSetup.exe"
cmp -s "$signed" "$copy" || fail "the setup program's copy is not the signed program"
[ "$(verifies "$copy" "$ca")" = ok ] || fail "the copy's signature does not verify"

[ "$WORLD_FAILURES" -eq 0 ] && echo "signed release: verified, refused when changed or from another CA, and it installs"
exit "$((WORLD_FAILURES > 0))"
