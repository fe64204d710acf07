#!/usr/bin/env bash
# Makes the build tree's Wine prefix once: booted, with Tahoma and the other Wine fonts
# where GDI+ looks for them.
set -euo pipefail
BUILD_DIR="${BUILD_DIR:-$PWD}"
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/.corvella-ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.corvella-ready"
fi
# Every program of the prefix runs in Wine's virtual desktop, whose taskbar holds the
# notification area, whatever process starts Wine's desktop first.
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${CORVELLA_DESKTOP_SIZE:-800x600}" /f >/dev/null 2>&1
wineserver -w || true
echo "wine prefix ready: $WINEPREFIX"
