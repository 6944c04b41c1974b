#!/usr/bin/env bash
# Usage: run_probe.sh <progman_probe.exe> <prefix folder>
# Creates (once) a Wine prefix with the x11 graphics driver, starts its shell on the display named
# by UNINST_DISPLAY and runs the probe against the shell's Program Manager DDE server.
# Exit code 77 (skipped) when no display is available.
set -uo pipefail
probe=$1
export WINEPREFIX=$2 WINEARCH=win64 WINEDEBUG=-all
export DISPLAY=${UNINST_DISPLAY:-:91}
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64

if ! [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; then
  echo "no X display at $DISPLAY: skipped"
  exit 77
fi
if [ ! -f "$WINEPREFIX/.uninst-ready" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  "$server" -w
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$server" -w
  touch "$WINEPREFIX/.uninst-ready"
fi
"$wine" "$probe"
status=$?
# The shell opened folder windows for the group commands: end this prefix's processes only.
"$server" -k >/dev/null 2>&1
"$server" -w >/dev/null 2>&1
exit $status
