#!/usr/bin/env bash
# Prints the pin of a certificate: the SHA-256 of its SubjectPublicKeyInfo (DER), in lower-case hex, as
# NEMBRIC_PUBLISHER_PINS lists it. The certificate may be PEM or DER (a .cer exported from Windows).
# usage: tools/publisher_pin.sh CERTIFICATE
set -euo pipefail
cert=$1
form=PEM
grep -q -- '-----BEGIN CERTIFICATE-----' "$cert" 2>/dev/null || form=DER
openssl x509 -inform "$form" -in "$cert" -noout -pubkey |
  openssl pkey -pubin -outform DER |
  openssl dgst -sha256 -r | cut -d' ' -f1
