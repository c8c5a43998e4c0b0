#!/usr/bin/env bash
# The x64 drivers' Authenticode signatures: each verifies against the test certificate the
# build signed with; a copy with one byte of code changed, and a copy checked against a
# certificate that did not sign it, must both fail to verify.
#
# Usage: driver_signature.sh OSSLSIGNCODE CERTIFICATE.pem IMAGE...
set -euo pipefail
osslsigncode="$1"
export VELKOR_SCRIPTS="$(cd "$(dirname "$0")/../../scripts" && pwd)"
certificate="$2"
shift 2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
verify() { "$osslsigncode" verify -CAfile "$2" -in "$1" >"$work/out" 2>&1; }
for image in "$@"; do
    name="$(basename "$image")"
    if verify "$image" "$certificate"; then
        echo "ok: $name verifies against the test certificate"
    else
        cat "$work/out"
        echo "FAILED: $name does not verify"
        failures=$((failures + 1))
    fi
    # One bit of the driver's code, in the first section (.text).
    python3 - "$image" "$work/changed.sys" <<'PY'
import os
import sys
sys.path.insert(0, os.environ["VELKOR_SCRIPTS"])
from pe_image import PeImage
data = bytearray(open(sys.argv[1], "rb").read())
offset = PeImage(data).sections[0][3] + 3
data[offset] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
    if verify "$work/changed.sys" "$certificate"; then
        echo "FAILED: $name with a changed byte still verifies"
        failures=$((failures + 1))
    else
        echo "ok: $name with a changed byte fails to verify"
    fi
done
# A certificate that signed nothing here.
openssl req -x509 -newkey rsa:2048 -sha256 -days 1 -nodes -subj "/CN=VelkorISP test signing" \
    -keyout "$work/other.key" -out "$work/other.pem" 2>/dev/null
if verify "$1" "$work/other.pem"; then
    echo "FAILED: $(basename "$1") verifies against a certificate that did not sign it"
    failures=$((failures + 1))
else
    echo "ok: another certificate does not verify $(basename "$1")"
fi
[ "$failures" -eq 0 ]
