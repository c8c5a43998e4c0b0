#!/usr/bin/env bash
# Installs what the Windows builds and their tests need, when it is missing: the mingw-w64
# cross compilers (i686 and x86-64), 64-bit wine with its 32-bit half (the 32-bit tree runs in
# a 32-bit prefix; the 64-bit tree in a 64-bit one, which also runs 32-bit programs as a 64-bit
# Windows does), osslsigncode and openssl for the x64 driver's test signature, librsvg2-bin
# for the icons of the resource script and xvfb for the windows' display.
# Non-interactive and idempotent: a second run installs nothing.
set -euo pipefail

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in mingw-w64 wine wine64 wine32:i386 osslsigncode openssl python3 librsvg2-bin xvfb; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# 32-bit wine comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
