#!/bin/sh
# 32-bit Wine's loader under user-mode emulation, for hosts whose kernel runs no 32-bit code (or
# to run the suite as such a host would). tools/setup.sh installs this as wine in
# /usr/lib/wine-emulated, beside a copy of the real loader named wine-i386. Wine starts each new
# process with the loader named like its own, from its own folder: so every process it starts
# comes back here. The folder sits beside /usr/lib/wine, where the loader looks for its DLLs.
# WINELOADERNOEXEC: without it the loader re-executes itself natively at start.
WINELOADERNOEXEC=1 exec qemu-i386 -0 "$0" -L / "${0%/*}/wine-i386" "$@"
