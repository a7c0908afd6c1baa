#!/usr/bin/env bash
# Makes the test certificate authority of the local download server and two server certificates it
# signs: one for "localhost" and one for another name (to provoke a certificate name failure).
# Only the Wine prefix of the tests ever trusts this authority. usage: make_test_ca.sh OUT_DIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
[ -f ca.der ] && [ -f localhost.pem ] && [ -f other.pem ] && exit 0

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Halvorn Nembric Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl x509 -in ca.pem -outform der -out ca.der

for name in localhost other.invalid; do
  file=${name%%.*}
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout "$file.key" -out "$file.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$name" >"$file.ext"
  openssl x509 -req -in "$file.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 \
    -extfile "$file.ext" -out "$file.pem" 2>/dev/null
  rm -f "$file.csr" "$file.ext"
done
