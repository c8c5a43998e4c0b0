#!/usr/bin/env bash
# Signs driver images in place with a code-signing certificate in a .pfx (PKCS#12) file:
# Authenticode, SHA-256, by osslsigncode. The build runs it with its own test certificate
# (scripts/make-test-certificate.sh); to sign with your own certificate instead:
#
#   scripts/sign-driver.sh --pfx my-codesign.pfx --password-file pass.txt \
#       [--timestamp http://timestamp.example] build/windows64/driver/kernel/Tarnel.sys
#
# --password-file: a file whose first line is the .pfx's password (none: an empty password).
# --timestamp: a time-stamping server, so that the signature outlives the certificate.
# A signature already on an image is replaced. Exits non-zero when any image fails.
set -euo pipefail
pfx=""
password_file=""
timestamp=""
images=()
while [ $# -gt 0 ]; do
    case "$1" in
        --pfx) pfx="$2"; shift 2 ;;
        --password-file) password_file="$2"; shift 2 ;;
        --timestamp) timestamp="$2"; shift 2 ;;
        -h | --help) sed -n '2,13p' "$0"; exit 0 ;;
        *) images+=("$1"); shift ;;
    esac
done
if [ -z "$pfx" ] || [ ${#images[@]} -eq 0 ]; then
    echo "usage: sign-driver.sh --pfx FILE [--password-file FILE] [--timestamp URL] IMAGE..." >&2
    exit 2
fi
if ! command -v osslsigncode >/dev/null; then
    echo "sign-driver.sh: osslsigncode is missing (apt-get install osslsigncode)" >&2
    exit 1
fi
password=(-pass "")
[ -n "$password_file" ] && password=(-readpass "$password_file")
stamp=()
[ -n "$timestamp" ] && stamp=(-ts "$timestamp")

for image in "${images[@]}"; do
    unsigned="$image.unsigned"
    signed="$image.signed"
    # osslsigncode writes a new file; an earlier signature is taken off first so that the
    # image carries exactly one.
    if ! osslsigncode remove-signature -in "$image" -out "$unsigned" >/dev/null 2>&1; then
        cp "$image" "$unsigned"
    fi
    rm -f "$signed"
    if ! osslsigncode sign -pkcs12 "$pfx" "${password[@]}" -h sha256 \
        -n "Tarnel parallel port driver" "${stamp[@]}" -in "$unsigned" -out "$signed" >/dev/null; then
        rm -f "$unsigned" "$signed"
        echo "sign-driver.sh: signing $image failed" >&2
        exit 1
    fi
    rm -f "$unsigned"
    mv "$signed" "$image"
    echo "$image: signed with $(basename "$pfx")"
done
