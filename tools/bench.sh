#!/usr/bin/env bash
# Builds Talvern and its benchmark and prints the benchmark's table. It runs in a Wine prefix
# of its own, since it rewrites that prefix's HKEY_CLASSES_ROOT\*\shell.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)" --target Talvern talvern_bench minimal_window >/dev/null

build="$PWD/build/mingw"
prefix="$build/bench-prefix"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(wine --version) with the null display driver"
tools/wine.sh "$prefix" "$build/bench/talvern_bench.exe" \
  "Z:${build//\//\\}\\app\\Talvern.exe" "Z:${build//\//\\}\\bench\\minimal_window.exe"
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
