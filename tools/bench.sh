#!/usr/bin/env bash
# Builds Talvern and its benchmark and prints the benchmark's table. It runs in a Wine prefix
# of its own, since it rewrites that prefix's viewers in both hives.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
source tools/wine-host.sh
cmake --preset "$TALVERN_PRESET" >/dev/null
cmake --build --preset "$TALVERN_PRESET" -j "$(nproc)" --target Talvern talvern_bench \
  minimal_window minimal_manifest_window minimal_button_window plain_window >/dev/null

build="$PWD/build/$TALVERN_PRESET"
prefix="$build/bench-prefix"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(wineserver --version 2>&1) ($WINEARCH, $TALVERN_WINE_MODE) with the null display driver"
tools/wine.sh "$prefix" "$build/bench/talvern_bench.exe" \
  "Z:${build//\//\\}\\app\\Talvern.exe" "Z:${build//\//\\}\\bench\\minimal_window.exe" \
  "Z:${build//\//\\}\\bench\\minimal_manifest_window.exe" \
  "Z:${build//\//\\}\\bench\\minimal_button_window.exe" \
  "Z:${build//\//\\}\\bench\\plain_window.exe"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
