#!/usr/bin/env bash
# Builds everything and runs the preset's tests (tsan: the threaded parts only).
# Usage: scripts/test.sh [preset]   (default | asan | tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
