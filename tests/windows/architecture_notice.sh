#!/usr/bin/env bash
# The programs say at start why their driver cannot serve them, in the 64-bit wine prefix
# (a 64-bit Windows, whose 32-bit layer runs the 32-bit build):
#   - the 32-bit velkorisp-cli.exe beside its own Tarnel.sys names the 64-bit program, runs on
#     the simulator when the path was chosen automatically, refuses the driver path when it
#     was asked for, and registers no service either way;
#   - the 64-bit velkorisp-cli.exe beside a 32-bit Tarnel.sys says which driver it needs.
#
# Usage: architecture_notice.sh CLI32.exe TARNEL32.sys CLI64.exe
# Runs in the 64-bit prefix of the environment (scripts/test-windows64.sh sets it).
set -euo pipefail
cli32="$1"
driver32="$2"
cli64="$3"
export WINEDEBUG="${WINEDEBUG:--all}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check NAME CONDITION...
    local name="$1"
    shift
    if "$@"; then
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name"
    fi
}
no_registration() { ! wine sc query Tarnel >/dev/null 2>&1; }
run_cli() {  # run_cli DIR ARGS... -> output in $out, status in $status
    local dir="$1"
    shift
    status=0
    out="$(cd "$dir" && wine ./velkorisp-cli.exe "$@" 2>&1)" || status=$?
}

mkdir "$work/x86" "$work/x64"
cp "$cli32" "$work/x86/velkorisp-cli.exe"
cp "$driver32" "$work/x86/Tarnel.sys"
cp "$cli64" "$work/x64/velkorisp-cli.exe"
cp "$driver32" "$work/x64/Tarnel.sys"
wow64='this 32-bit program cannot load its port driver on 64-bit Windows; start the 64-bit VelkorISP.exe'

run_cli "$work/x86" detect
echo "$out"
check "the 32-bit program names the 64-bit one at start" grep -q "$wow64" <<<"$out"
check "and runs on the simulator" grep -q "using the built-in simulated" <<<"$out"
check "the automatic choice still succeeds" test "$status" -eq 0
check "and registers no driver" no_registration

run_cli "$work/x86" driver-check --backend driver
echo "$out"
check "the driver path asked for is refused with the same words" grep -q "$wow64" <<<"$out"
check "the refused driver path fails the run" test "$status" -ne 0
check "the refused driver path registers no driver" no_registration

run_cli "$work/x64" detect --backend driver
echo "$out"
check "the 64-bit program beside the 32-bit driver says which it needs" \
    grep -q "the Tarnel.sys beside the program is the x86 driver, but this program is x64" <<<"$out"
check "and fails the run" test "$status" -ne 0
check "and registers no driver" no_registration

[ "$failures" -eq 0 ]
