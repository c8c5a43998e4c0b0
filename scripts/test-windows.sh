#!/usr/bin/env bash
# Builds the 32-bit Windows tree (program core, velkorisp-cli, Tarnel.sys and its test build),
# checks the driver images, and runs the tests labelled "windows" under wine: the unit tests
# of the cross-built program, the desktop program VelkorISP.exe driven through its window, and
# the end-to-end run through wine's service manager and kernel. Then the same for 64-bit
# Windows (scripts/test-windows64.sh). Installs mingw-w64, wine and the signing tools when
# they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-windows-deps.sh

scripts/build-windows.sh

# One 32-bit prefix kept in the build tree, one wineserver for the whole test run (without it
# every test waits seconds for wine's helpers) and a display for the desktop program's window:
# see scripts/wine-session.sh. In a subshell, so that the session ends before the 64-bit one.
(
    source scripts/wine-session.sh
    wine_session_start
    ctest --preset windows </dev/null
)

scripts/test-windows64.sh
