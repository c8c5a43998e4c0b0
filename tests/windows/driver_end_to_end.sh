#!/usr/bin/env bash
# End to end under wine: velkorisp-cli, started beside Tarnel.sys (the HAL-routed test build,
# since a port instruction kills wine's driver host), registers and starts the driver
# service, opens \\.\Tarnel, exchanges every control code with the driver in wine's kernel
# (a read of port 0x80, outside the parallel ports, must come back refused), and at the end
# stops and deletes the service. Checked after every run: no registration is left behind.
# Also: an earlier run's leftover registration is reused, a driver already running serves, a
# program in a Chinese-named folder finds and registers its driver, and a missing driver file
# gets the one line naming where it was looked for (also when the program chose its path
# itself: no simulator stands in). A driver file that is not the one the program was built
# with is refused before it is registered. A leftover registration that names another file
# is pointed at the program's own. A port card's base given to the program is served by the
# driver, and another card base is refused.
#
# Usage: driver_end_to_end.sh velkorisp-cli.exe TarnelTest.sys
# Runs in the wine prefix of the environment (a 32-bit one; scripts/test-windows.sh sets it).
set -euo pipefail
cli="$1"
driver="$2"
export WINEARCH="${WINEARCH:-win32}" WINEDEBUG="${WINEDEBUG:--all}"

work="$(mktemp -d)"
failures=0
passes=0
remove_service() {
    wine sc stop Tarnel >/dev/null 2>&1 || true
    wine sc delete Tarnel >/dev/null 2>&1 || true
}
trap 'remove_service; rm -rf "$work"' EXIT

mkdir "$work/app" "$work/bare" "$work/程序" "$work/changed" "$work/elsewhere"
cp "$cli" "$work/app/velkorisp-cli.exe"
cp "$driver" "$work/app/Tarnel.sys"
cp "$cli" "$work/程序/velkorisp-cli.exe"
cp "$driver" "$work/程序/Tarnel.sys"
cp "$cli" "$work/bare/velkorisp-cli.exe"
cp "$cli" "$work/changed/velkorisp-cli.exe"
cp "$driver" "$work/changed/Tarnel.sys"
# One byte of the image changed, its last: the file still loads, but it is not ours.
printf '\x01' | dd of="$work/changed/Tarnel.sys" bs=1 seek=$(($(stat -c %s "$driver") - 1)) \
    conv=notrunc status=none
cp "$driver" "$work/elsewhere/Tarnel.sys"
elsewhere_path="$(wine winepath -w "$work/elsewhere/Tarnel.sys" 2>/dev/null)"
driver_path="$(wine winepath -w "$work/app/Tarnel.sys" 2>/dev/null)"

check() {  # check NAME CONDITION...
    local name="$1"
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name"
    fi
}
no_registration() {
    ! wine sc query Tarnel >/dev/null 2>&1 &&
        ! wine reg query 'HKLM\System\CurrentControlSet\Services\Tarnel' >/dev/null 2>&1
}
every_code_answered() {  # the check's output: seven codes, the unknown code and port 0x80 refused
    [ "$(grep -c ': ok (' <<<"$1")" -eq 9 ] && ! grep -q FAILED <<<"$1"
}
run_cli() {  # run_cli DIR ARGS... -> output in $out, status in $status
    local dir="$1"
    shift
    status=0
    out="$(cd "$dir" && wine ./velkorisp-cli.exe "$@" --lang zh 2>&1)" || status=$?  # Chinese lines are read
}

remove_service
check "no registration before the first run" no_registration

run_cli "$work/app" driver-check --backend driver
echo "$out"
check "a fresh run exchanges every control code" every_code_answered "$out"
check "the driver refuses a port outside the parallel ports" \
    grep -q '^READ_PORT 0x80: ok (refused)' <<<"$out"
check "a fresh run succeeds" test "$status" -eq 0
check "a fresh run leaves no registration" no_registration

# A port card's base: the program writes it as PortBase under the service key before it
# starts the driver, which admits that block when it loads; a card base nobody configured
# stays refused as an invalid parameter.
run_cli "$work/app" driver-check --backend driver --port-base 0xD010
echo "$out"
check "the driver serves the configured card base" \
    grep -q '^READ_PORT 0xD010: ok (8 bytes)' <<<"$out"
check "the parameters may name the configured card base" \
    grep -q '^SET_PARAMS 0xD010: ok' <<<"$out"
check "a card base not configured is refused as an invalid parameter" \
    test "$(grep -c '^[A-Z_]* 0xE800: ok (refused: invalid parameter)' <<<"$out")" -eq 2
check "the card base run succeeds" test "$status" -eq 0
check "the card base run leaves no registration" no_registration

wine sc create Tarnel type= kernel start= demand binPath= "$driver_path" >/dev/null
run_cli "$work/app" driver-check --backend driver
check "a leftover registration is reused" every_code_answered "$out"
check "the reused registration is removed" no_registration

wine sc create Tarnel type= kernel start= demand binPath= "$driver_path" >/dev/null
wine sc start Tarnel >/dev/null
run_cli "$work/app" driver-check --backend driver
check "a driver already running serves" every_code_answered "$out"
check "the running driver is stopped and removed" no_registration

run_cli "$work/app" detect
check "auto takes the driver beside the program" grep -q "端口不存在" <<<"$out"
check "auto leaves no registration" no_registration

# A folder name outside the ANSI code page: the program must find its driver file there and
# register it under the same name.
run_cli "$work/程序" detect
check "auto finds the driver in a Chinese-named folder" grep -q "端口不存在" <<<"$out"
run_cli "$work/程序" driver-check --backend driver
check "the driver in a Chinese-named folder starts and answers" every_code_answered "$out"
check "the Chinese-named folder's run leaves no registration" no_registration

run_cli "$work/bare" detect --backend driver
echo "$out"
check "a missing driver file is explained once, with where it was looked for" \
    test "$(grep -c '找不到驱动文件 .*bare\\\\Tarnel.sys, 驱动程序 Tarnel 未启动' <<<"$out")" -eq 1
check "a missing driver file fails the run" test "$status" -eq 1
check "a driver that never started is not left registered" no_registration

run_cli "$work/bare" detect
check "without a driver file auto stays on the driver path" \
    grep -q '找不到驱动文件 .*Tarnel.sys' <<<"$out"
check "without a driver file auto does not simulate" \
    test "$(grep -c 'simulat' <<<"$out")" -eq 0
check "without a driver file auto fails the run" test "$status" -eq 1

run_cli "$work/changed" driver-check --backend driver
echo "$out"
check "a changed driver file is refused" \
    grep -q '驱动文件 .*changed\\\\Tarnel.sys 不是本程序所带的 Tarnel.sys (SHA-256 [0-9a-f]\{64\})' \
    <<<"$out"
check "a changed driver file fails the check" test "$status" -ne 0
check "a changed driver file is never registered" no_registration

# Registered by someone else, naming another file: the program points it at its own checked
# file before it starts it (wine runs everything with the rights to do so).
wine sc create Tarnel type= kernel start= demand binPath= "$elsewhere_path" >/dev/null
run_cli "$work/app" driver-check --backend driver
check "a registration naming another file is re-registered and serves" \
    every_code_answered "$out"
check "the re-registered service is removed" no_registration

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
