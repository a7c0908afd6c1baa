#!/usr/bin/env bash
# Signs a Windows program with Authenticode: a SHA-256 signature made by osslsigncode, with a time stamp
# when a time-stamp server is named, then checked against the signer's CA when one is named.
#
#   tools/sign.sh IN.exe OUT.exe
#
# The certificate and key come from the environment, never from the command line (which other users see):
#   NEMBRIC_SIGN_CERT           the code-signing certificate: a PEM file holding the certificate and the
#                               chain up to its CA, or a PKCS#12 file (.pfx, .p12) holding key and chain
#   NEMBRIC_SIGN_KEY            the private key as a PEM file (not with a PKCS#12 file)
#   NEMBRIC_SIGN_PASSWORD_FILE  a file whose first line is the password of the key or PKCS#12 file (optional)
#   NEMBRIC_SIGN_TIMESTAMP      an RFC 3161 time-stamp server's URL (optional; a release names one, so that
#                               the signature stays valid after the certificate expires)
#   NEMBRIC_SIGN_CA             a CA file to verify the signature against after signing (optional; the
#                               system's CA list is used without it)
# The signature must come last: a program changed after signing (the build's own post-link step included)
# no longer verifies.
set -euo pipefail
if [ "$#" -ne 2 ]; then
  echo "usage: tools/sign.sh IN.exe OUT.exe" >&2
  exit 2
fi
in=$1
out=$2
: "${NEMBRIC_SIGN_CERT:?NEMBRIC_SIGN_CERT names no certificate to sign with}"
command -v osslsigncode >/dev/null || { echo "osslsigncode is not installed (tools/bootstrap.sh installs it)" >&2; exit 1; }

signer=()
case "$NEMBRIC_SIGN_CERT" in
  *.pfx | *.p12 | *.PFX | *.P12) signer=(-pkcs12 "$NEMBRIC_SIGN_CERT") ;;
  *) signer=(-certs "$NEMBRIC_SIGN_CERT" -key "${NEMBRIC_SIGN_KEY:?NEMBRIC_SIGN_KEY names no key for the PEM certificate}") ;;
esac
if [ -n "${NEMBRIC_SIGN_PASSWORD_FILE:-}" ]; then
  signer+=(-readpass "$NEMBRIC_SIGN_PASSWORD_FILE")
fi
timestamp=()
if [ -n "${NEMBRIC_SIGN_TIMESTAMP:-}" ]; then
  timestamp=(-ts "$NEMBRIC_SIGN_TIMESTAMP")
fi

# osslsigncode writes a new file; the result replaces OUT only once it is signed and verified.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
osslsigncode sign "${signer[@]}" -h sha256 -n "Halvorn NembricAI Universal Setup" -i "https://www.halvorn.example/" \
  "${timestamp[@]}" -in "$in" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log" >&2; echo "signing $in failed" >&2; exit 1; }
verify=(-in "$work/signed.exe")
if [ -n "${NEMBRIC_SIGN_CA:-}" ]; then
  verify+=(-CAfile "$NEMBRIC_SIGN_CA")
fi
osslsigncode verify "${verify[@]}" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log" >&2; echo "the signature of $in does not verify" >&2; exit 1; }
mv -f "$work/signed.exe" "$out"
echo "signed: $out ($(grep -m1 -i 'Subject:' "$work/verify.log" | sed 's/^[[:space:]]*//'))"
