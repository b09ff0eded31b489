#!/usr/bin/env bash
# Builds Talvern and its tests and runs the whole suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/wine-host.sh
if [ "$TALVERN_PRESET" != mingw ]; then
  # The program ships as 32-bit: it must build, warning-free, even where it cannot run.
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$(nproc)" --target Talvern
fi
cmake --preset "$TALVERN_PRESET" >/dev/null
cmake --build --preset "$TALVERN_PRESET" -j "$(nproc)"
status=0
ctest --preset "$TALVERN_PRESET" || status=$?
# Leave no wineserver behind.
WINEPREFIX="$PWD/build/$TALVERN_PRESET/wineprefix" wineserver -k 2>/dev/null || true
exit $status
