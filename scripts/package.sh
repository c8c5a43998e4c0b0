#!/usr/bin/env bash
# Builds the Debian package build/package/velkorisp_<version>-1_<arch>.deb: both programs, their
# manual pages, the menu entry, the icon and README.Debian (cmake/VelkorPackage.cmake). It is
# made from the default preset's tree, the one scripts/test.sh builds and tests (optimised,
# NDEBUG; CPack strips the debug information), so CI packages exactly what it tested.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
rm -rf build/package
cpack --config build/default/CPackConfig.cmake -G DEB -B build/package
ls build/package/velkorisp_*.deb
