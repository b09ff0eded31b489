#!/usr/bin/env bash
# Builds Talvern and its tests and runs the whole suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)"
status=0
ctest --preset mingw || status=$?
# Leave no wineserver behind.
WINEPREFIX="$PWD/build/mingw/wineprefix" wineserver -k 2>/dev/null || true
exit $status
