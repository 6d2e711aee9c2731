#!/bin/sh
# Signs a copy of the launcher as an application author would, with a
# throwaway self-signed certificate, and verifies the signature.
#   check_signing.sh TAVRIN.EXE WORK_DIR
set -eu
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=tavrin test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2>/dev/null
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -n "Example Application" \
  -in "$exe" -out signed.exe
osslsigncode verify -in signed.exe -CAfile cert.pem

# A signature covers the bytes: one changed byte must break it.
cp signed.exe tampered.exe
printf 'X' | dd of=tampered.exe bs=1 seek=1024 conv=notrunc 2>/dev/null
if osslsigncode verify -in tampered.exe -CAfile cert.pem >/dev/null 2>&1; then
  echo "FAIL: a modified executable still verifies"
  exit 1
fi
echo "signature verified; a modified copy is refused"
