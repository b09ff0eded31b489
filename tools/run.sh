#!/usr/bin/env bash
# Builds Talvern and starts it under Wine. Without a display it starts a virtual one,
# saves a screenshot of the main window and keeps running until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)" --target Talvern

export WINEPREFIX="$PWD/build/mingw/run-prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.talvern-ready" ]; then
  wineboot -i >/dev/null 2>&1
  # Without a window manager, let Wine place and decorate its own windows.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.talvern-ready"
fi

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:47
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
  wine build/mingw/app/Talvern.exe &
  talvern=$!
  sleep "${TALVERN_SHOT_DELAY:-4}"
  shot="$PWD/build/mingw/talvern-screenshot.png"
  xwd -root -silent | convert xwd:- -crop 420x330+302+219 +repage "$shot"
  echo "Talvern is running on the virtual display $DISPLAY; screenshot: $shot"
  echo "Press Ctrl+C to stop."
  wait $talvern
else
  exec wine build/mingw/app/Talvern.exe
fi
