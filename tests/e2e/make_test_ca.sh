#!/usr/bin/env bash
# Makes the test certificate authority of the local download server and two server certificates it
# signs: one for "localhost" and one for another name (to provoke a certificate name failure); and the
# code-signing certificate of the test world's publisher, which the same authority issues (the tests' build
# pins the authority), beside another authority with a code-signing certificate of its own (which no build
# pins). Only the Wine prefix of the tests ever trusts these authorities. usage: make_test_ca.sh OUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
[ -f ca.der ] && [ -f localhost.pem ] && [ -f other.pem ] && [ -f codesign.pem ] && [ -f other-codesign.pem ] &&
  exit 0

for authority in ca:"Halvorn Nembric Test CA" other-ca:"Another Test CA"; do
  file=${authority%%:*}
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=${authority#*:}" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$file.key" -out "$file.pem" 2>/dev/null
  openssl x509 -in "$file.pem" -outform der -out "$file.der"
done

# The publishers' code-signing certificates: the test world's (by the test CA) and another (by the other).
for signer in codesign:ca:"Halvorn Test Publisher" other-codesign:other-ca:"Another Publisher"; do
  file=${signer%%:*}
  rest=${signer#*:}
  issuer=${rest%%:*}
  openssl req -newkey rsa:2048 -nodes -subj "/CN=${rest#*:}" -keyout "$file.key" -out "$file.csr" 2>/dev/null
  printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\nbasicConstraints=CA:FALSE\n' >"$file.ext"
  openssl x509 -req -in "$file.csr" -CA "$issuer.pem" -CAkey "$issuer.key" -CAcreateserial -days 825 \
    -extfile "$file.ext" -out "$file.pem" 2>/dev/null
  rm -f "$file.csr" "$file.ext"
done

for name in localhost other.invalid; do
  file=${name%%.*}
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout "$file.key" -out "$file.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$name" >"$file.ext"
  openssl x509 -req -in "$file.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 \
    -extfile "$file.ext" -out "$file.pem" 2>/dev/null
  rm -f "$file.csr" "$file.ext"
done
