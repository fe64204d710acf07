# Sourced: the Wine environment of a build tree. Needs BUILD_DIR.
export WINEPREFIX="${WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
if command -v wine64 >/dev/null 2>&1; then WINE=wine64; else WINE=wine; fi
export WINE
