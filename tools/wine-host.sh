# Sourced by the other scripts: which Wine this host runs, and how a Talvern prefix is made.
# Some hosts run no 32-bit code at all (their kernel refuses i386 programs and 32-bit code
# segments); there the tests and tools use 64-bit Wine and the 64-bit build of the same sources,
# while the shipped program stays 32-bit.
if wine --version >/dev/null 2>&1; then
  WINE=wine
  export WINEARCH=win32
  TALVERN_PRESET=mingw
else
  WINE=/usr/lib/wine/wine64
  export WINEARCH=win64
  TALVERN_PRESET=mingw64
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Makes the prefix $WINEPREFIX once: Wine's own fonts copied in (Debian's Wine does not find them
# by itself, and without Marlett caption buttons draw as letters), then each "KEY|VALUE|DATA"
# argument added to the registry.
make_prefix() {
  [ -f "$WINEPREFIX/.talvern-ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.talvern-ready" ]; then
      "$WINE" wineboot -i >/dev/null 2>&1
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
