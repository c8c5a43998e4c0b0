#!/usr/bin/env bash
# Builds the 32-bit Windows tree (program core, velkorisp-cli, Tarnel.sys and its test build),
# checks the driver images, and runs the tests labelled "windows" under wine: the unit tests
# of the cross-built program and the end-to-end run through wine's service manager and
# kernel. Installs mingw-w64 and 32-bit wine when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in mingw-w64 wine wine64 wine32:i386 python3; do
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

# One 32-bit prefix kept in the build tree, and one wineserver for the whole test run:
# without it every test waits seconds for wine's helpers. Its output must not stay tied to
# ours, or ctest waits for it to end. No Mono or Gecko: nothing here needs them, and their
# installers would ask.
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
wine wineboot </dev/null >/dev/null 2>&1
ctest --preset windows </dev/null
