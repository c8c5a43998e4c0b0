#!/bin/bash
# Runs inside the clean Debian root that scripts/test-package.sh bootstraps: installs the
# package as a user would (`dpkg -i`, which stops at the missing dependencies, then `apt-get -f
# install`, which brings what the package declares), checks the installed files, and runs the
# installed programs the way a user would on a machine without a parallel port (the built-in
# simulated cable and chip).
# Usage: package-smoke.sh WORK_DIR   (holding the package, blink.hex and blink.eep)
set -euo pipefail
cd "$1"
fail() { echo "package-smoke: $*" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
if ! { dpkg -i velkorisp_*.deb || apt-get -y -q -f --no-install-recommends install; } \
  >install.log 2>&1; then
  tail -n 40 install.log >&2
  fail "the package did not install"
fi
status=$(dpkg-query -W -f='${Status}' velkorisp)
[ "$status" = "install ok installed" ] || fail "package state: $status"
for f in /usr/bin/velkorisp /usr/bin/velkorisp-cli /usr/bin/velkorisp-dude \
         /usr/share/man/man1/velkorisp-cli.1.gz /usr/share/man/man1/velkorisp.1.gz \
         /usr/share/man/man1/velkorisp-dude.1.gz \
         /usr/share/applications/velkorisp.desktop \
         /usr/share/icons/hicolor/scalable/apps/velkorisp.svg \
         /usr/share/doc/velkorisp/README.Debian /usr/share/doc/velkorisp/copyright; do
  [ -f "$f" ] || fail "missing $f"
done
# Every library the programs need came in through the package's dependencies.
for p in /usr/bin/velkorisp /usr/bin/velkorisp-cli /usr/bin/velkorisp-dude; do
  if ldd "$p" | grep -q 'not found'; then ldd "$p" >&2; fail "$p lacks a library"; fi
done

velkorisp-cli --help >help.txt || fail "--help exited with $?"
grep -q '^Usage: velkorisp-cli' help.txt || fail "--help printed no usage"

# The README's first run: erase, write and verify the example firmware and its EEPROM data,
# on the simulated chip since this root has no /dev/parport*; its memories are kept.
velkorisp-cli program --chip mega8 --flash blink.hex --eeprom blink.eep --no-progress \
  --sim-dump chip >program.out 2>program.err || fail "program run exited with $?"
grep -q 'no parallel port found' program.err || fail "the run did not say it used the simulator"
grep -q 'mega8 on STK200/STK300: .*: ok$' program.err || fail "no ok outcome: $(cat program.err)"
# Read the kept chip back; test-package.sh compares the files with the originals.
velkorisp-cli read --backend sim --chip mega8 --sim-load chip --flash-out back.hex \
  --eeprom-out back.eep --no-progress >read.out 2>&1 || fail "read exited with $?"
# avrdude's command line under the second name, on the same simulated chip.
velkorisp-dude -p m8 -c stk200 -q -U flash:w:blink.hex:i -U flash:v:blink.hex:i \
  -U lfuse:r:-:h >dude.out 2>dude.err || fail "velkorisp-dude exited with $?: $(tail -n 1 dude.err)"
grep -qx '0x[0-9a-f][0-9a-f]' dude.out || fail "velkorisp-dude printed no fuse byte: $(cat dude.out)"
# A refusal keeps its status when installed, too.
set +e
velkorisp-cli --chip mega8 --flash missing.hex >/dev/null 2>&1
rc=$?
set -e
[ $rc -eq 2 ] || fail "a missing flash file gave exit status $rc, not 2"

# The window starts (offscreen: no display here) and, installed under /usr, takes its settings
# folder in HOME; it keeps running until stopped.
export HOME="$PWD/home" QT_QPA_PLATFORM=offscreen
unset XDG_CONFIG_HOME
mkdir -p "$HOME"
set +e
timeout 5 velkorisp >window.log 2>&1
rc=$?
set -e
[ $rc -eq 124 ] || fail "the window ended with $rc within 5 s: $(cat window.log)"
[ -d "$HOME/.config/velkorisp" ] || fail "the window made no settings folder in HOME"
echo "package-smoke: installed $(dpkg-query -W -f='${Package} ${Version}' velkorisp)," \
  "$(grep -c '^Unpacking' install.log) packages unpacked; the programs run"
