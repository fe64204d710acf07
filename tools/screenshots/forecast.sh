#!/usr/bin/env bash
# The README's pictures of the forecast window, made again from a build: the program under Wine
# in Xvfb with feedsim at a place whose next hours bring precipitation and a pressure change,
# the window opened by a click on the tray icon beside a light and then a dark taskbar, each
# picture cropped to the window. At 96 and 144 DPI on desktops where the window takes its full
# scale, and at 144 DPI on an 800 x 600 desktop where it takes a smaller one.
# Usage: tools/screenshots/forecast.sh BUILD_DIR [OUT_DIR]
#   (FEEDSIM=path of the native feedsim, by default BUILD_DIR/../native/feedsim;
#    OUT_DIR by default docs/screenshots)
set -uo pipefail
[ -d "${1:-}" ] || { echo "usage: forecast.sh BUILD_DIR [OUT_DIR]"; exit 2; }
BUILD_DIR=$(cd "$1" && pwd)
OUT=$(cd "${2:-$(dirname "$0")/../../docs/screenshots}" && pwd) || exit 2
WORK=$(mktemp -d)
E2E_ART_DIR=$WORK
. "$(dirname "$0")/../../tests/e2e/session.sh"
# A row of data/locations.txt (counted from 0) whose simulated hours are wet with a pressure change.
PLACE=${PLACE:-194}

BUILD_DIR=$BUILD_DIR "$E2E_DIR/../../tools/wine/wine-prefix.sh" >/dev/null || { echo "no Wine prefix"; exit 1; }
journey_cleanup() {
  # The prefix is shared with the tests: leave it at 96 dpi, with no theme value and no settings.
  [ -d "$WORK" ] || return 0
  use_virtual_desktop 800x600
  taskbar_theme none
  "$WINE" reg delete "$KEY" /f >/dev/null 2>&1
  rm -rf "$WORK"
}
trap finish EXIT
probe() { "$WINE" "$PROBE" "$@"; }
forecast_closed() { ! probe visible CorvellaForecast 0 >/dev/null 2>&1; }

# Opens the window by a click on the icon at the desktop's bottom right and crops it into FILE.
shoot() {  # DESKTOP_WIDTH DESKTOP_HEIGHT FILE
  local l t r b
  xdotool mousemove 300 200 sleep 0.3 mousemove $(( $1 - 11 )) $(( $2 - 11 )) click 1
  read -r l t r b _ <<<"$(probe shown-rect 10 | head -n 1 | tr -d '\r')"
  [ -n "$b" ] || fail "the forecast window did not open"
  sleep 0.5
  screenshot "$WORK/desktop.png"
  convert "$WORK/desktop.png" -crop "$(( r - l ))x$(( b - t ))+$l+$t" +repage "$3"
  echo "$(basename "$3"): $(( r - l ))x$(( b - t ))"
  xdotool mousemove $(( l + 40 )) $(( t + 40 )) sleep 0.3 key Escape
  wait_for 5 forecast_closed || fail "the forecast window did not close"
}
# One Wine session at SIZE and DPI: the light picture, then the dark one, named NAME.
session() {  # SIZE DPI NAME
  use_virtual_desktop "$1" "$2"
  taskbar_theme 1
  "$WINE" reg delete "$KEY" /f >/dev/null 2>&1
  use_feedsim_proxy
  "$WINE" reg add "$KEY" /v geo /d "$PLACE" /f >/dev/null 2>&1
  "$WINE" reg add "$KEY" /v "Индикатор" /d 0 /f >/dev/null 2>&1
  : >"$WORK/requests.log"
  start_program "$WORK/program-$3.log"
  probe wait-title Corvella 60 || fail "the program never showed its window"
  wait_for_request "$WORK/requests.log" currency_base || fail "no first pass"
  sleep 1.5
  local w=${1%x*} h=${1#*x}
  shoot "$w" "$h" "$OUT/$3.png"
  taskbar_theme 0
  shoot "$w" "$h" "$OUT/$3-dark.png"
  stop_program
}

export CORVELLA_FORCE_XVFB=1 CORVELLA_SCREEN_SIZE=1280x1024
new_session || exit 1
start_feedsim "$WORK/feedsim.out" --log "$WORK/requests.log" || fail "feedsim did not start"
session 1024x768 96 forecast-96
session 1280x1024 144 forecast-144
session 800x600 144 forecast-144-small
