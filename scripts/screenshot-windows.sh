#!/usr/bin/env bash
# Takes docs/main-window-windows.png: VelkorISP.exe under wine's virtual desktop on Xvfb, on the
# simulated bench (mega8 on an STK200 cable), after one Program run of examples/blink.hex, from
# a folder with a Chinese name; and docs/main-window-windows-menus.png: the same window with its
# File menu open, beside it with its Option menu open. Builds what it needs in build/windows
# first. `screenshot-windows.sh 64` takes docs/main-window-windows64.png instead: the 64-bit
# VelkorISP.exe (build/windows64) in the 64-bit prefix, after the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=windows
arch=win32
shot=docs/main-window-windows.png
if [ "${1:-}" = 64 ]; then
    tree=windows64
    arch=win64
    shot=docs/main-window-windows64.png
fi
# ImageMagick turns the bitmaps into PNG; the cross tools and wine come with the Windows tests.
if [ ! -x /usr/bin/convert ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends imagemagick
fi
cmake --preset "$tree" >/dev/null
cmake --build --preset "$tree" --target VelkorISP velkor_win32_screenshot

source scripts/wine-session.sh
wine_session_start "$tree" "$arch"

work="$(mktemp -d)"
trap 'rm -rf "$work"; wine_session_stop' EXIT
dir="$work/程序"
mkdir -p "$dir"
cp "build/$tree/app/win32/VelkorISP.exe" "$dir/"
cp examples/blink.hex "$dir/blink.hex"
hex_path="$(wine winepath -w "$dir/blink.hex" 2>/dev/null)"
# velkor.ini is GBK; the path is ASCII but for the folder's name.
{
    printf '[SIMULATOR]\r\nEnabled=1\r\nChip=mega8\r\n'
    printf '[FLASH]\r\nFILE=%s\r\n' "$hex_path"
    # mega8 (row 7 of the AVR table) with its default fuse bytes E1 D9 00.
    printf '[DEVICE]\r\nTYPE=0\r\nID=7\r\nFUSE0=225\r\nFUSE1=217\r\nFUSE2=0\r\n'
    printf '[PROGCMD]\r\nWriteFlash=1\r\nErase=1\r\nVerify=1\r\nCheckId=1\r\nAutoSelchip=1\r\n'
} | iconv -f UTF-8 -t GBK >"$dir/velkor.ini"

wine explorer /desktop=velkor,600x640 "build/$tree/app/win32/velkor_win32_screenshot.exe" \
    "$(wine winepath -w "$dir" 2>/dev/null)" "$(wine winepath -w "$work/shot.bmp" 2>/dev/null)" \
    f "$(wine winepath -w "$work/file.bmp" 2>/dev/null)" \
    i "$(wine winepath -w "$work/option.bmp" 2>/dev/null)" \
    </dev/null >/dev/null 2>&1
mkdir -p docs
/usr/bin/convert "bmp:$work/shot.bmp" "$shot"
if [ "$tree" = windows64 ]; then
    echo "$shot"
    exit 0
fi
/usr/bin/convert "bmp:$work/file.bmp" "bmp:$work/option.bmp" -background white -gravity north \
    +append docs/main-window-windows-menus.png
echo "docs/main-window-windows.png docs/main-window-windows-menus.png"
