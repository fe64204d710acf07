#!/usr/bin/env bash
# The desktop widget under Wine, as a user meets it: the first forecast shows it at the top of
# the screen 192 pixels from its right edge with the day or night picture; the mouse drags it,
# and a double click opens the forecast window;
# "Индикатор погоды" hides it, storing its place, and shows it there again; "Поверх всех окон"
# twice ends where it began; after a restart a rainy forecast shows the wider rain picture at
# the stored place. Screenshots over a light and a dark desktop.
# Usage: widget.sh BUILD_DIR    (FEEDSIM=path of the native feedsim; without it, or without
# xcompmgr, the test is skipped with exit code 77)
# Screenshots: BUILD_DIR/artifacts/widget-light.png, widget-dark.png
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
SRC=$(cd "$HERE/../.." && pwd)
. "$HERE/e2e_env.sh"
MAIN_PROBE="$PROBE"
PROBE="$BUILD_DIR/widget-probe.exe"
FEEDSIM=${FEEDSIM:-$BUILD_DIR/../native/feedsim}
# No virtual desktop: Wine's windows are X windows of their own, so that a compositing manager
# blends the widget's translucent pixels over the "wallpaper" (a picture in a window below).
SCREEN_W=1024
SCREEN_H=768
COMP_PID=""
WALL_PID=""
APP_PID=""
FEEDSIM_PID=""
FEED_URL="http://meteo.velmar.example/index.php?api_lang=ru&localidad=13564&affiliate_id=qk3d8w2mzx7e&v=2&h=1"

# Items from the top of the shared menu: "Свойства..." comes first once the menu has it.
FIRST=1
grep -rqs "kMenuProperties" --include='*.cpp' "$SRC/shell" "$SRC/presentation" && FIRST=2
ONTOP_KEYS=$(printf 'down %.0s' $(seq 1 "$FIRST"))
WIDGET_KEYS="$ONTOP_KEYS down"

journey_failed() {
  screenshot "$ART/widget-fail.png"
  stored_key
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
}

journey_cleanup() {
  [ -n "${DPI_CHANGED:-}" ] && set_dpi 96
  [ -n "$WALL_PID" ] && kill "$WALL_PID" 2>/dev/null
  [ -n "$COMP_PID" ] && kill "$COMP_PID" 2>/dev/null
  WALL_PID=""
  COMP_PID=""
  # Later tests of the prefix run in the virtual desktop again.
  use_virtual_desktop "${CORVELLA_DESKTOP_SIZE:-800x600}"
}

if [ ! -x "$FEEDSIM" ]; then
  echo "SKIP: no feedsim at $FEEDSIM"
  exit 77
fi

# Waits a little for a value the program writes as it acts.
stored_is() {  # name value
  for _ in $(seq 1 20); do
    [ "$(stored "$1")" == "$2" ] && return 0
    sleep 0.2
  done
  return 1
}

# The sky feedsim serves for the local hour $2 on date $1: the symbol number of that hour
# (1 clear, 2 snow, 3 overcast, 4 rain, 5 cloudy, 6 thunder).
sky_on() {
  local port
  "$FEEDSIM" --port 0 --date "$1" >"$ART/widget-feedsim-probe.out" 2>&1 &
  local pid=$!
  for _ in $(seq 1 50); do grep -q listening "$ART/widget-feedsim-probe.out" 2>/dev/null && break; sleep 0.05; done
  port=$(grep -oE "127\.0\.0\.1:[0-9]+" "$ART/widget-feedsim-probe.out" | head -n 1 | cut -d: -f2)
  curl -s -x "127.0.0.1:$port" "$FEED_URL" |
    awk -v h="<hour value=\"$2:00\">" 'found { match($0, /value="[0-9]+"/); print substr($0, RSTART + 7, RLENGTH - 8); exit } index($0, h) { found = 1 }'
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

# A date whose forecast has, at this hour, a sky among $1 (e.g. "1 3 5 6" or "4").
date_with_sky() {
  local hour=$2 d sky
  for d in $(seq 1 28); do
    sky=$(sky_on "2026-02-$(printf %02d "$d")" "$hour")
    if [[ " $1 " == *" $sky "* ]]; then echo "2026-02-$(printf %02d "$d")"; return 0; fi
  done
  return 1
}

start_feedsim() {  # date
  launch_feedsim "$ART/widget-feedsim.out" --date "$1" || fail "feedsim did not start"
  use_feedsim_proxy
}

wallpaper() {  # top colour, bottom colour
  [ -n "$WALL_PID" ] && kill "$WALL_PID" 2>/dev/null
  convert -size "${SCREEN_W}x${SCREEN_H}" "gradient:$1-$2" "$ART/widget-wallpaper.png"
  display -geometry "${SCREEN_W}x${SCREEN_H}+0+0" -immutable "$ART/widget-wallpaper.png" >/dev/null 2>&1 &
  WALL_PID=$!
  sleep 1
}

# Wine takes its DPI from here when a session starts.
set_dpi() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

start_app() {
  "$WINE" "$EXE" >"$ART/widget-app.log" 2>&1 &
  APP_PID=$!
}

close_app() {
  "$WINE" "$MAIN_PROBE" close-window >/dev/null 2>&1 || fail "no main window to close"
  for _ in $(seq 1 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "the program did not close"
  APP_PID=""
}

tray_menu() {  # keys...
  "$WINE" "$PROBE" tray-menu 10 "$@" || fail "the tray menu did not open"
}

# The screen around the widget at (x, y).
shot() {  # file x y
  screenshot "$ART/widget-screen.png" || return 0
  local left=$(( $2 > 120 ? $2 - 120 : 0 )) top=$(( $3 > 60 ? $3 - 60 : 0 ))
  (( left + 400 > SCREEN_W )) && left=$(( SCREEN_W - 400 ))
  convert "$ART/widget-screen.png" -crop "400x280+$left+$top" +repage "$1" && echo "screenshot: $1"
}

widget() {  # shown|hidden -> "x y w h topmost"
  # Through a file: a probe that starts a Wine session leaves Wine's servers holding its output.
  # A probe that says nothing at all never ran (Wine cut its start off): it is asked once more,
  # and a second silence is told with whether the program still runs.
  local rc attempt
  for attempt in 1 2; do
    "$WINE" "$PROBE" widget 30 "$1" >"$ART/widget-probe.out" 2>&1
    rc=$?
    [ -s "$ART/widget-probe.out" ] && break
    echo "the widget probe said nothing (attempt $attempt, exit $rc); the program is $(
      [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null && echo running || echo gone)" >&2
    sleep 1
  done
  tr -d '\r' <"$ART/widget-probe.out"
  return $rc
}

# The menu of the widget itself: a right click on its picture.
widget_menu() {  # x y keys...
  local x=$1 y=$2
  shift 2
  xdotool mousemove "$x" "$y" click 3 >/dev/null 2>&1
  "$WINE" "$PROBE" menu-keys 10 "$@" || fail "the widget's menu did not open"
}

CORVELLA_FORCE_XVFB=1 start_display || fail "no X display"
command -v xcompmgr >/dev/null || { echo "SKIP: no xcompmgr"; finish; exit 77; }
xcompmgr >/dev/null 2>&1 &
COMP_PID=$!
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
"$WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
"$WINE" reg delete "$KEY" /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
wallpaper "#F6F3EA" "#CFDCE8"

# The program reads the hour of its local clock; a date whose forecast has neither rain nor
# snow at that hour gives the day or night picture. Not across the turn of an hour.
[ "$(date +%M)" -ge 58 ] && sleep $(( 121 - $(date +%S) ))
HOUR=$(date +%H)
CLEAR_DATE=$(date_with_sky "1 3 5 6" "$HOUR") || fail "no dry forecast for hour $HOUR"
RAIN_DATE=$(date_with_sky "4" "$HOUR") || fail "no rainy forecast for hour $HOUR"

start_feedsim "$CLEAR_DATE"
start_app
read -r x y w h top <<<"$(widget shown)"
[ -n "${top:-}" ] || fail "the first forecast did not show the widget"
[ "$x $y" == "$((SCREEN_W - 192)) 0" ] || fail "the widget is at ($x, $y), not ($((SCREEN_W - 192)), 0)"
[ "$w $h" == "156 156" ] || fail "the day or night widget is ${w}x$h, not 156x156"
[ "$top" == 1 ] || fail "the widget is not above other windows by default"
echo "first forecast: the widget shows at ($x, $y), ${w}x$h, above other windows"
sleep 1
shot "$ART/widget-light.png" "$x" "$y"

# Dragging: press on the picture, move, release; the grabbed pixel stays under the mouse.
xdotool mousemove $((x + 70)) $((y + 70)) mousedown 1 >/dev/null
# Small steps, as a hand makes them: Wine follows the mouse only over the picture's own pixels.
for step in $(seq 1 60); do
  xdotool mousemove $((x + 70 - step * 5)) $((y + 70 + step * 10 / 3)) >/dev/null
  sleep 0.03
done
xdotool mouseup 1 >/dev/null
sleep 0.5
read -r x2 y2 w2 h2 _ <<<"$(widget shown)"
[ "$x2 $y2" == "$((x - 300)) $((y + 200))" ] || fail "dragged by (-300, 200), the widget went from ($x, $y) to ($x2, $y2)"
[ "$w2 $h2" == "$w $h" ] || fail "dragging changed the size"
# A move with only the right button held leaves it where it is (the menu it opens is closed).
xdotool mousemove $((x2 + 70)) $((y2 + 70)) mousedown 3 mousemove $((x2 + 20)) $((y2 + 20)) mouseup 3 >/dev/null
"$WINE" "$PROBE" menu-keys 5 escape >/dev/null 2>&1
sleep 0.5
read -r x3 y3 _ <<<"$(widget shown)"
[ "$x3 $y3" == "$x2 $y2" ] || fail "the right button moved the widget to ($x3, $y3)"
echo "dragged with the left button to ($x2, $y2); the right button does not move it"

# A double click on the picture opens the forecast window beside it, and does not move it.
xdotool mousemove $((x2 + 70)) $((y2 + 70)) click --repeat 2 --delay 80 1 >/dev/null
"$WINE" "$MAIN_PROBE" shown-rect 10 >"$ART/widget-probe.out" 2>&1 || fail "a double click did not open the forecast window"
read -r fl ft fr fb _ <<<"$(head -n 1 "$ART/widget-probe.out" | tr -d '\r')"
xdotool mousemove $((fl + 40)) $((ft + 40)) >/dev/null && sleep 0.3 && xdotool key Escape >/dev/null
sleep 1
"$WINE" "$MAIN_PROBE" visible CorvellaForecast 0 >/dev/null 2>&1 && fail "the forecast window did not take Escape"
read -r x5 y5 _ <<<"$(widget shown)"
[ "$x5 $y5" == "$x2 $y2" ] || fail "the double click moved the widget to ($x5, $y5)"
echo "a double click on the widget opens the forecast window at ($fl $ft $fr $fb); Escape closes it"

# "Индикатор погоды" from the widget's own menu hides it and stores its place.
widget_menu $((x2 + 70)) $((y2 + 70)) $WIDGET_KEYS return
widget hidden >/dev/null || fail "\"Индикатор погоды\" did not hide the widget"
stored_is Индикатор 0 || fail "\"Индикатор\" is not 0 after hiding"
[ "$(stored top) $(stored left)" == "$y2 $x2" ] || fail "stored top/left $(stored top)/$(stored left), not $y2/$x2"
echo "hidden through the menu: top $y2, left $x2 and \"Индикатор\" = 0 stored"

# Shown again from the tray icon's menu: back where it was hidden.
tray_menu $WIDGET_KEYS return
read -r x4 y4 _ <<<"$(widget shown)"
[ "$x4 $y4" == "$x2 $y2" ] || fail "shown again at ($x4, $y4), not where it was hidden ($x2, $y2)"
stored_is Индикатор 1 || fail "\"Индикатор\" is not 1 after showing"
echo "shown again through the menu at ($x4, $y4)"

# "Поверх всех окон" twice ends where it began, and "topwin" holds the final state.
tray_menu $ONTOP_KEYS return
sleep 0.5
read -r _ _ _ _ top1 <<<"$(widget shown)"
[ "$top1" == 0 ] || fail "\"Поверх всех окон\" did not take the widget out of the topmost band"
stored_is topwin 0 || fail "\"topwin\" is not 0 after the first toggle"
tray_menu $ONTOP_KEYS return
sleep 0.5
read -r _ _ _ _ top2 <<<"$(widget shown)"
[ "$top2" == 1 ] || fail "\"Поверх всех окон\" twice did not end above other windows"
stored_is topwin 1 || fail "\"topwin\" is not 1 after the second toggle"
echo "\"Поверх всех окон\" twice: off, then on again; \"topwin\" follows"

# After a restart with "topwin" 0 the widget starts in the normal band; a rainy forecast
# shows the wider rain picture at the stored place, over a dark wallpaper.
tray_menu $ONTOP_KEYS return
sleep 0.5
close_app
kill "$FEEDSIM_PID" 2>/dev/null
wait "$FEEDSIM_PID" 2>/dev/null
wallpaper "#1B2431" "#2E4057"
start_feedsim "$RAIN_DATE"
start_app
read -r x5 y5 w5 h5 top5 <<<"$(widget shown)"
[ "$w5 $h5" == "170 156" ] || fail "the rain widget is ${w5}x$h5, not 170x156"
[ "$x5 $y5" == "$x2 $y2" ] || fail "after a restart the widget is at ($x5, $y5), not at its stored ($x2, $y2)"
[ "$top5" == 0 ] || fail "a stored \"topwin\" of 0 still put the widget above other windows"
echo "restart with rain: ${w5}x$h5 at the stored ($x5, $y5), in the normal band as stored"
sleep 1
shot "$ART/widget-dark.png" "$x5" "$y5"

close_app

# At 144 DPI the same picture keeps its apparent size: drawn from the larger rendering. A stored
# "top" that is a number, not text, brings the error box; the widget starts at its first-start
# place (288 pixels from the right edge at this scale) and the program runs on.
DPI_CHANGED=1
set_dpi 144
"$WINE" reg add "$KEY" /v top /t REG_DWORD /d 5 /f >/dev/null 2>&1
start_app
box=""
for _ in $(seq 1 100); do "$WINE" "$MAIN_PROBE" error-box >/dev/null 2>&1 && { box=1; break; }; sleep 0.1; done
[ -n "$box" ] || fail "no error box for a stored \"top\" of the wrong type"
read -r x6 y6 w6 h6 _ <<<"$(widget shown)"
[ "$w6 $h6" == "255 234" ] || fail "at 144 DPI the rain widget is ${w6}x$h6, not 255x234"
[ "$x6 $y6" == "$((SCREEN_W - 288)) 0" ] || fail "with an unreadable \"top\" the widget is at ($x6, $y6), not at its first-start place"
echo "at 144 DPI with a REG_DWORD \"top\": error box, ${w6}x$h6 at the first-start place ($x6, $y6)"
sleep 1
shot "$ART/widget-144dpi.png" "$x6" "$y6"
"$WINE" "$MAIN_PROBE" error-box dismiss >/dev/null 2>&1
sleep 0.5
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended after the error box"
close_app

kill "$FEEDSIM_PID" 2>/dev/null
FEEDSIM_PID=""
finish
echo "PASS"
