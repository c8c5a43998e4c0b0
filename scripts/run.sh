#!/usr/bin/env bash
# Builds the program and runs it. With a display ($DISPLAY set, not in CI) and no arguments it
# opens the desktop program's window; otherwise it runs the main job headless: programs the
# bundled example firmware into a chip with erase, write and verify, and prints the log.
# Without a parallel port the built-in simulated cable and chip are used. Arguments go to
# velkorisp-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null

if [ $# -eq 0 ] && [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  cmake --build --preset default --target velkorisp velkorisp-cli
  program=build/default/app/qt/velkorisp
  ini=build/default/app/qt/velkor.ini
  if [ ! -e "$ini" ]; then
    # A first start: the example firmware loaded and an ATmega8 selected.
    row=$(build/default/cli/velkorisp-cli chips --all | awk '$1 == 0 && $3 == "mega8" { print $2 }')
    cat >"$ini" <<INI
[FLASH]
FILE=$PWD/examples/blink.hex
[EEPROM]
FILE=$PWD/examples/blink.eep
[DEVICE]
TYPE=0
ID=$row
FUSE0=225
FUSE1=217
[PROGCMD]
WriteFlash=1
WriteEEPROM=1
Erase=1
Verify=1
CheckId=1
INI
  fi
  exec "$program"
fi

cmake --build --preset default --target velkorisp-cli
if [ $# -eq 0 ]; then
  # The demo job: erase, write and verify the example firmware and its EEPROM data.
  set -- program --chip mega8 --flash examples/blink.hex --eeprom examples/blink.eep
fi
exec build/default/cli/velkorisp-cli "$@"
