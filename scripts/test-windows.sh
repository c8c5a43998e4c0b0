#!/usr/bin/env bash
# Builds the 32-bit Windows tree (program core, velkorisp-cli, Tarnel.sys and its test build),
# checks the driver images, and runs the tests labelled "windows" under wine: the unit tests
# of the cross-built program, the desktop program VelkorISP.exe driven through its window, and
# the end-to-end run through wine's service manager and kernel. Installs mingw-w64 and 32-bit
# wine when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
# librsvg2-bin converts the icons for the resource script; xvfb gives the windows a display.
for p in mingw-w64 wine wine64 wine32:i386 python3 librsvg2-bin xvfb; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # 32-bit wine comes from the i386 architecture; the driver and the program are 32-bit.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

scripts/build-windows.sh

# One 32-bit prefix kept in the build tree, one wineserver for the whole test run (without it
# every test waits seconds for wine's helpers) and a display for the desktop program's window:
# see scripts/wine-session.sh.
source scripts/wine-session.sh
wine_session_start
ctest --preset windows </dev/null
