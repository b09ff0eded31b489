#!/usr/bin/env bash
# Builds Talvern and its tests and runs the whole suite under Wine; the last line says which
# build was tested and how (tools/wine-host.sh). TALVERN_EMULATE=1 runs it under emulation.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/wine-host.sh
if [ "$TALVERN_PRESET" != mingw ]; then
  # The program ships as 32-bit: all of it, tests included, must build warning-free even where
  # it cannot run.
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$(nproc)"
fi
cmake --preset "$TALVERN_PRESET" >/dev/null
cmake --build --preset "$TALVERN_PRESET" -j "$(nproc)"
timeout=()
if [ $TALVERN_WINE_MODE = emulated ]; then
  # Emulated code runs a few times slower; the tests' own waits stretch by this factor too.
  timeout=(--timeout 600)
  export TALVERN_TEST_SLOWDOWN=5
fi
status=0
start=$SECONDS
ctest --preset "$TALVERN_PRESET" "${timeout[@]}" || status=$?
# Leave no wineserver behind.
WINEPREFIX="$PWD/build/$TALVERN_PRESET/wineprefix" wineserver -k 2>/dev/null || true
took="$((SECONDS - start)) s"
result=passed
[ $status -eq 0 ] || result=FAILED
case $TALVERN_WINE_MODE in
  native) echo "Tested: the shipped 32-bit build (build/mingw), natively on 32-bit Wine: $result in $took." ;;
  emulated) echo "Tested: the shipped 32-bit build (build/mingw), on 32-bit Wine emulated by qemu-i386: $result in $took." ;;
  64-bit) echo "NOT TESTED: the shipped 32-bit build was built but not run (this host runs neither 32-bit Wine nor qemu-i386); the suite ran on the 64-bit build (build/mingw64): $result in $took." ;;
esac
exit $status
