#!/usr/bin/env bash
# Builds a Windows tree with mingw-w64 and checks its driver images:
#   build-windows.sh      the 32-bit tree (build/windows): everything, with Tarnel.sys and
#                         TarnelTest.sys for x86;
#   build-windows.sh 64   the 64-bit tree (build/windows64): the programs, the amd64 drivers
#                         (signed with the build's test certificate) and the tests that run
#                         there (see scripts/test-windows64.sh).
# Further arguments go to `cmake --build` (e.g. a --target).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = 64 ]; then
    shift
    cmake --preset windows64 >/dev/null
    if [ $# -eq 0 ]; then
        set -- --target VelkorISP velkorisp-cli tarnel_sys tarnel_test_sys velkor_win32_tests \
            velkor_driver_tests velkor_hosting_tests velkor_watcher_tests
    fi
    cmake --build --preset windows64 "$@"
    kernel=build/windows64/driver/kernel
    check=(python3 scripts/check-pe.py --nm x86_64-w64-mingw32-nm --machine amd64
        --objdump x86_64-w64-mingw32-objdump --entry DriverEntry --signed --imports ntoskrnl.exe)
    "${check[@]}" "$kernel/Tarnel.sys" "$kernel/TarnelTest.sys"
    osslsigncode verify -CAfile build/windows64/signing/VelkorISP-test.pem \
        -in "$kernel/Tarnel.sys" >/dev/null
    echo "$kernel/Tarnel.sys: signature verified"
    exit 0
fi
cmake --preset windows >/dev/null
cmake --build --preset windows "$@"
kernel=build/windows/driver/kernel
python3 scripts/check-pe.py --imports ntoskrnl.exe "$kernel/Tarnel.sys"
python3 scripts/check-pe.py --imports ntoskrnl.exe,HAL.dll "$kernel/TarnelTest.sys"
