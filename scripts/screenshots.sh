#!/usr/bin/env bash
# Draws the main window after a simulated Program run, under a virtual X display:
#   docs/main-window.png         an ATmega8 in AVR mode, fuse panel shown
#   docs/main-window-89s5x.png   an 89S52 in 89S5x mode
#   docs/main-window-english.png the ATmega8's log in English, the Option menu open
#   docs/main-window-menus.png   the ATmega8 window with its File menu open, beside the same
#                                window with its Option menu open
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target velkor_main_window_screenshot velkorisp-cli
build=build/default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
row() {  # row of a chip in its family's list
  "$build/cli/velkorisp-cli" chips --all | awk -v n="$2" '$1 == '"$1"' && $3 == n { print $2 }'
}
settings() {  # file simChip family row
  cat >"$1" <<INI
[SIMULATOR]
Enabled=1
Chip=$2
[DEVICE]
TYPE=$3
ID=$4
FUSE0=225
FUSE1=217
[FLASH]
FILE=$PWD/examples/blink.hex
[EEPROM]
FILE=$([ "$3" = 0 ] && echo "$PWD/examples/blink.eep")
[PROGCMD]
WriteFlash=1
WriteEEPROM=$([ "$3" = 0 ] && echo 1 || echo 0)
Erase=1
Verify=1
CheckId=1
INI
}
mkdir -p docs
settings "$work/avr.ini" mega8 0 "$(row 0 mega8)"
settings "$work/at89.ini" 89S52 1 "$(row 1 89S52)"
shoot() { xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$build/tests/qt/velkor_main_window_screenshot" "$@"; }
shoot "$work/avr.ini" docs/main-window.png
shoot "$work/at89.ini" docs/main-window-89s5x.png
shoot "$work/avr.ini" docs/main-window-english.png --english-menu
shoot "$work/avr.ini" docs/main-window-menus.png File Option
echo "docs/main-window.png docs/main-window-89s5x.png docs/main-window-english.png"
echo "docs/main-window-menus.png"
