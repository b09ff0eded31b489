#!/usr/bin/env bash
# Builds Talvern and starts it under Wine.
#   tools/run.sh                   start it; without a display, on a virtual one, saving a
#                                  screenshot of the main window and running until interrupted
#   tools/run.sh --screenshots DIR save the list panel, the edit panel for a new and for an
#                                  existing viewer, the About window and the list panel at 144 DPI
#                                  as DIR/main-list.png, DIR/main-edit.png, DIR/main-edit-viewer.png,
#                                  DIR/about.png, DIR/main-144dpi.png, then stop
set -euo pipefail
cd "$(dirname "$0")/.."
shots=""
if [ "${1:-}" = "--screenshots" ]; then
  shots=$(realpath -m "${2:?usage: tools/run.sh --screenshots DIR}")
  mkdir -p "$shots"
fi

tools/setup.sh
source tools/wine-host.sh
cmake --preset "$TALVERN_PRESET" >/dev/null
cmake --build --preset "$TALVERN_PRESET" -j "$(nproc)" --target Talvern
exe="build/$TALVERN_PRESET/app/Talvern.exe"

export WINEPREFIX="$PWD/build/$TALVERN_PRESET/run-prefix"
# Without a window manager, Wine places and decorates its own windows.
make_prefix 'HKCU\Software\Wine\X11 Driver|Managed|N'

if [ -n "$shots" ]; then
  # Something to show in the list.
  for viewer in Notepad Wordpad; do
    program='C:\windows\notepad.exe'
    [ $viewer = Wordpad ] && program='C:\Program Files\Windows NT\Accessories\wordpad.exe'
    "$WINE" reg add "HKCR\\*\\shell\\$viewer" /ve /d "$viewer" /f >/dev/null 2>&1
    "$WINE" reg add "HKCR\\*\\shell\\$viewer\\command" /ve /d "\"$program\" \"%1\"" /f >/dev/null 2>&1
  done
  "$WINE" reg add 'HKCR\*\shell\Wordpad' /v Extended /d "" /f >/dev/null 2>&1
  # And one of the user's own.
  "$WINE" reg add 'HKCU\Software\Classes\*\shell\Notes' /ve /d "Notes" /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Classes\*\shell\Notes\command' /ve /d '"C:\windows\notepad.exe" "%1"' /f >/dev/null 2>&1
fi

if [ -n "${DISPLAY:-}" ] && [ -z "$shots" ]; then
  exec "$WINE" "$exe"
fi

export DISPLAY=:47
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
sleep 1
"$WINE" "$exe" &
talvern=$!

# Waits for the window titled $1 and saves it as $2.
shoot() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "run: no window \"$1\"" >&2; return 1; }
  sleep 1
  import -window "$id" "$2"
}

# Clicks the main window's button whose centre lies at $2,$3 client pixels.
click() {
  local id
  id=$(xdotool search --name "^$1\$" | head -n1)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  local border=$(((WIDTH - 337) / 2))
  local caption=$((HEIGHT - 225 - border))
  xdotool mousemove "$((X + border + $2))" "$((Y + caption + $3))" click 1
  sleep 0.5
}

if [ -n "$shots" ]; then
  shoot "Talvern 3.0" "$shots/main-list.png"
  click "Talvern 3.0" 56 192          # Add New
  shoot "Talvern 3.0" "$shots/main-edit.png"
  click "Talvern 3.0" 210 192         # Cancel
  click "Talvern 3.0" 100 64          # the second viewer
  click "Talvern 3.0" 206 192         # Edit
  shoot "Talvern 3.0" "$shots/main-edit-viewer.png"
  click "Talvern 3.0" 210 192         # Cancel
  click "Talvern 3.0" 280 192         # About
  shoot "Talvern - About" "$shots/about.png"
  # Once more at 144 DPI, read when the server starts; the prefix is put back to 96 after.
  wineserver -k 2>/dev/null || true
  wineserver -w
  dpi() { "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
  dpi 144
  # A server that was running while the setting changed keeps the old DPI for new programs.
  wineserver -k 2>/dev/null || true
  wineserver -w
  "$WINE" "$exe" &
  shoot "Talvern 3.0" "$shots/main-144dpi.png"
  dpi 96
  echo "Screenshots: $shots/main-list.png $shots/main-edit.png $shots/main-edit-viewer.png $shots/about.png $shots/main-144dpi.png"
  exit 0
fi

shot="$PWD/build/$TALVERN_PRESET/talvern-screenshot.png"
shoot "Talvern 3.0" "$shot"
echo "Talvern is running on the virtual display $DISPLAY; screenshot: $shot"
echo "Press Ctrl+C to stop."
wait $talvern
