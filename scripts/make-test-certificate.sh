#!/usr/bin/env bash
# Makes the self-signed code-signing certificate that the build signs the x64 Tarnel.sys with,
# so that a 64-bit Windows in test mode (bcdedit /set testsigning on) loads it once the
# certificate is trusted there. Not for release: its private key lies in the build tree with
# no password, and only the machine that trusts it will load what it signed.
#
# Usage: make-test-certificate.sh OUTDIR
# Writes OUTDIR/VelkorISP-test.pfx (key and certificate, empty password, for osslsigncode),
# OUTDIR/VelkorISP-test.pem (the certificate, for osslsigncode verify) and
# OUTDIR/VelkorISP-test.cer (the same in DER, for certutil on the Windows machine).
set -euo pipefail
out="$1"
mkdir -p "$out"
base="$out/VelkorISP-test"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Code signing (the extended key usage Windows asks of a driver's signer), a digital
# signature key, and no authority to sign other certificates.
openssl req -x509 -newkey rsa:2048 -sha256 -days 3650 -nodes \
    -subj "/CN=VelkorISP test signing (not for release)" \
    -addext "extendedKeyUsage=codeSigning" \
    -addext "keyUsage=critical,digitalSignature" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -name "VelkorISP test signing" -passout pass: \
    -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx"
openssl x509 -in "$work/cert.pem" -outform der -out "$work/cert.cer"
# Moved in last, the .pfx after the others: a build that stopped half way leaves no .pfx, and
# the next build makes the set again.
mv "$work/cert.pem" "$base.pem"
mv "$work/cert.cer" "$base.cer"
mv "$work/cert.pfx" "$base.pfx"
