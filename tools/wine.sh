#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix that needs no display.
# usage: tools/wine.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use (32-bit, no Mono or Gecko installers, the null
# graphics driver so windows and dialogs work headless) and a persistent wineserver
# keeps later processes fast.
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.talvern-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.talvern-ready" ]; then
      wineboot -i >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      # The driver is read when the server starts.
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w
      touch "$WINEPREFIX/.talvern-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# A new server also starts Wine's background services, which would inherit our output and
# keep whoever reads it waiting; start them here, detached from it.
if wineserver -p 60 </dev/null >/dev/null 2>&1; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
