#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix that needs no display.
# usage: tools/wine.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use (no Mono or Gecko installers, the null graphics driver so
# windows and dialogs work headless) and a persistent wineserver keeps later processes fast.
set -euo pipefail
export WINEPREFIX=$1
shift
source "$(dirname "$0")/wine-host.sh"
unset DISPLAY WAYLAND_DISPLAY
# A crash ends the process at once instead of waiting for a debugger.
make_prefix 'HKCU\Software\Wine\Drivers|Graphics|null' \
  'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug|Debugger|'

# A new server also starts Wine's background services, which would inherit our output and
# keep whoever reads it waiting; start them here, detached from it.
if wineserver -p 60 </dev/null >/dev/null 2>&1; then
  "$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
exec "$WINE" "$@"
