#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Non-interactive and idempotent: a second run installs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config libelf-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  srecord gcc-avr binutils-avr avr-libc avrdude
  qt6-base-dev fonts-wqy-microhei xvfb
  qt6-svg-dev fonts-wqy-zenhei
  dpkg-dev mmdebstrap groff-base desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
