#!/usr/bin/env bash
# Builds the program and runs its main job: programs the bundled example firmware into a
# chip with erase, write and verify, and prints the log. Without a parallel port the
# built-in simulated cable and chip are used. Extra arguments go to velkorisp-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target velkorisp-cli
if [ $# -eq 0 ]; then
  # The demo job: erase, write and verify the example firmware and its EEPROM data.
  set -- program --chip mega8 --flash examples/blink.hex --eeprom examples/blink.eep
fi
exec build/default/cli/velkorisp-cli "$@"
