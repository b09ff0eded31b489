# Sourced by the other scripts: which Wine runs Talvern here, and how a Talvern prefix is made.
# TALVERN_WINE_MODE says which:
#   native    32-bit Wine runs the 32-bit build, as it ships;
#   emulated  32-bit Wine runs the 32-bit build under qemu-i386 (tools/wine-emulated.sh): where
#             the kernel refuses 32-bit code, or on any host with TALVERN_EMULATE=1;
#   64-bit    neither can run: 64-bit Wine runs the 64-bit build of the same sources, and the
#             shipped build is not run.
emulated_wine=/usr/lib/wine-emulated/wine
if [ "${TALVERN_EMULATE:-0}" != 1 ] && wine --version >/dev/null 2>&1; then
  TALVERN_WINE_MODE=native
  WINE=wine
elif [ -x "$emulated_wine" ] && command -v qemu-i386 >/dev/null; then
  TALVERN_WINE_MODE=emulated
  WINE=$emulated_wine
else
  TALVERN_WINE_MODE=64-bit
  WINE=/usr/lib/wine/wine64
fi
if [ $TALVERN_WINE_MODE = 64-bit ]; then
  export WINEARCH=win64
  TALVERN_PRESET=mingw64
else
  export WINEARCH=win32
  TALVERN_PRESET=mingw
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Whether Wine is still setting up $WINEPREFIX (another prefix's set-up may run beside it).
booting() {
  local p
  for p in $(pgrep -f 'wineboot\.exe --init'); do
    grep -qxz "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && return 0
  done
  return 1
}

# Makes the prefix $WINEPREFIX once: Wine's own fonts copied in (Debian's Wine does not find them
# by itself, and without Marlett caption buttons draw as letters), then each "KEY|VALUE|DATA"
# argument added to the registry.
make_prefix() {
  [ -f "$WINEPREFIX/.talvern-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.talvern-ready" ]; then
      # Wine stops waiting for the set-up after a few minutes, which an emulated one outlasts:
      # a server kept alive lets it finish, and the wait is for its own process. The server must
      # not hold our output open: whoever reads it (ctest) would wait for the server's end.
      wineserver -p 3600 </dev/null >/dev/null 2>&1
      "$WINE" wineboot -i >/dev/null 2>&1 || true  # gives up waiting first when emulated
      while booting; do sleep 5; done
      cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
      for setting in "$@"; do
        IFS="|" read -r key value data <<<"$setting"
        "$WINE" reg add "$key" /v "$value" /d "$data" /f >/dev/null 2>&1
      done
      # Settings and fonts are read when the server starts.
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w
      touch "$WINEPREFIX/.talvern-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
