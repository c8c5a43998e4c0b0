#!/usr/bin/env bash
# Builds the 32-bit Windows tree (build/windows, mingw-w64): Tarnel.sys and TarnelTest.sys,
# then checks both driver images. Extra arguments go to `cmake --build` (e.g. a --target).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows "$@"
kernel=build/windows/driver/kernel
python3 scripts/check-pe.py --imports ntoskrnl.exe "$kernel/Tarnel.sys"
python3 scripts/check-pe.py --imports ntoskrnl.exe,HAL.dll "$kernel/TarnelTest.sys"
