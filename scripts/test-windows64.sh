#!/usr/bin/env bash
# Builds the 64-bit Windows tree (build/windows64: VelkorISP.exe, velkorisp-cli.exe, the amd64
# Tarnel.sys and its test build, both signed with the build's test certificate), checks the
# driver images, and runs under wine64: the images' checks and signatures, the driver's and
# the port path's unit tests, the file watcher's Windows cases, the desktop program driven
# through its window on the simulator and beside the driver, the resources against the
# templates, and the end-to-end run through wine's service manager and 64-bit kernel. With the 32-bit tree built (scripts/test-windows.sh
# builds it first), its velkorisp-cli.exe is also run in the 64-bit prefix, where it must say
# that it cannot load its driver and name the 64-bit program.
#
# The rest of the unit tests run in the 32-bit tree and on the host: they are the same sources,
# and the 64-bit tree builds only what tells something new on 64-bit Windows, to keep CI short.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-windows-deps.sh

start=$(date +%s)
scripts/build-windows.sh 64

(
    source scripts/wine-session.sh
    wine_session_start windows64 win64
    # The test programs not built here are listed by ctest as *_NOT_BUILT.
    ctest --preset windows64 -E '_NOT_BUILT$' </dev/null
    if [ -x build/windows/cli/velkorisp-cli.exe ]; then
        bash tests/windows/architecture_notice.sh build/windows/cli/velkorisp-cli.exe \
            build/windows/driver/kernel/TarnelTest.sys build/windows64/cli/velkorisp-cli.exe
    fi
)
echo "64-bit Windows build and tests: $(($(date +%s) - start)) s"
