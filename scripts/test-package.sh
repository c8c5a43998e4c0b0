#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: its control fields and files, the
# manual pages and the menu entry, then installs it into a freshly bootstrapped Debian root
# (mmdebstrap, from the mirror apt uses on this machine) with `dpkg -i` and `apt-get -f
# install`, so that its declared dependencies alone must bring every library, and runs the
# installed programs there (scripts/package-smoke.sh). Needs root, as the bootstrap does.
# Usage: scripts/test-package.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
shopt -s nullglob
built=(build/package/velkorisp_*.deb)
deb="${1:-${built[0]:-}}"
fail() { echo "test-package: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "no package; run scripts/package.sh first"
deb="$(realpath "$deb")"
start=$SECONDS

# The control fields: dpkg-shlibdeps declared the Qt libraries, libelf and the C++ runtime.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6svg6 libqt6core6 libelf1 libstdc++6 libc6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
contents="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/velkorisp ./usr/bin/velkorisp-cli ./usr/share/man/man1/velkorisp-cli.1.gz \
         ./usr/bin/velkorisp-dude ./usr/share/man/man1/velkorisp-dude.1.gz \
         ./usr/share/applications/velkorisp.desktop ./usr/share/doc/velkorisp/README.Debian; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
# The manual pages render without a warning; the menu entry is valid.
for page in packaging/velkorisp-cli.1 packaging/velkorisp-dude.1 packaging/velkorisp.1; do
  warnings="$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1)"
  [ -z "$warnings" ] || fail "$page: $warnings"
done
desktop-file-validate packaging/velkorisp.desktop

# A clean root of the host's own release, from the sources apt uses here.
. /etc/os-release
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -s "$f" ] && grep -q '^[^#]' "$f" && sources+=("$f")
done
[ ${#sources[@]} -gt 0 ] || fail "no apt sources on this machine"
root="$(mktemp -d /tmp/velkorisp-root.XXXXXX)"
# In memory where the machine allows it: dpkg syncs every file it unpacks, and a disk shared
# with other builds makes that, and removing the root afterwards, take minutes.
if mount -t tmpfs -o size=4G,mode=0755 velkorisp-root "$root" 2>/dev/null; then
  trap 'umount "$root" && rmdir "$root"' EXIT
else
  trap 'rm -rf "$root"' EXIT
fi
work=/root/smoke
mmdebstrap --variant=apt --mode=root --quiet \
  --customize-hook="mkdir -p \"\$1$work\"" \
  --customize-hook="copy-in $deb examples/blink.hex examples/blink.eep scripts/package-smoke.sh $work" \
  --customize-hook="chroot \"\$1\" $work/package-smoke.sh $work" \
  "$VERSION_CODENAME" "$root" "${sources[@]}"

# What the installed program read back is what was written.
srec_cmp examples/blink.hex -intel "$root$work/back.hex" -intel
srec_cmp examples/blink.eep -intel "$root$work/back.eep" -intel
echo "test-package: $(basename "$deb") installs and runs in a clean $VERSION_CODENAME root" \
  "($((SECONDS - start)) s)"
