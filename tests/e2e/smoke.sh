#!/usr/bin/env bash
# End to end under Wine in Xvfb: corvella.exe starts with its tray icon although a folder
# window titled "Corvella" is open, of two starts at once exactly one runs, a second start
# ends at once with exit code 0 while the first keeps running, the first refresh pass
# goes through the proxy setting to feedsim with exactly the expected requests, and
# "Закрыть" in the tray menu ends the program with exit code 0 and the first-run marker; until
# then the DLLs of what the user has not seen (the settings dialog) are not loaded.
# Usage: smoke.sh BUILD_DIR    (FEEDSIM=path of the native feedsim, when built)
# Screenshots: BUILD_DIR/artifacts/smoke-tray.png, smoke-tooltip.png
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_env.sh"
FEEDSIM=${FEEDSIM:-}
FEEDSIM_PID=""

journey_failed() { kill "${FIRST:-0}" "${FOLDER:-0}" 2>/dev/null; }

start_display || fail "no X display"
# A session of its own (the test runs alone): Wine's desktop of an earlier test's session
# would keep whatever form it was started in.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
use_virtual_desktop 800x600
"$WINE" reg delete "$KEY" /f >/dev/null 2>&1

# Never let the program look for the real servers: its proxy is feedsim, or a closed port.
PORT=1
LOG="$ART/feedsim-requests.log"
if [ -n "$FEEDSIM" ] && [ -x "$FEEDSIM" ]; then
  rm -f "$LOG"
  launch_feedsim "$ART/feedsim.out" --log "$LOG" || fail "feedsim did not start"
  PORT=$FEEDSIM_PORT
fi
"$WINE" reg add "$KEY" /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
"$WINE" reg add "$KEY" /v portPrx /d "$PORT" /f >/dev/null 2>&1

# Explorer titles a folder window with the bare folder name, and the program's folder is
# "Corvella": that window is no running copy.
"$WINE" "$PROBE" foreign-window Corvella 90 >/dev/null 2>&1 &
FOLDER=$!
"$WINE" "$PROBE" wait-title Corvella 30 || fail "the folder window did not open"

# Two starts at the same moment: exactly one goes on, the other ends with exit code 0.
"$WINE" "$EXE" >"$ART/first.log" 2>&1 &
FIRST=$!
"$WINE" "$EXE" >"$ART/twin.log" 2>&1 &
TWIN=$!
"$WINE" "$PROBE" dialog-shown 60 0 || fail "no instance created its main window"
for _ in $(seq 1 200); do kill -0 "$FIRST" 2>/dev/null && kill -0 "$TWIN" 2>/dev/null || break; sleep 0.1; done
sleep 1
if kill -0 "$TWIN" 2>/dev/null; then
  kill -0 "$FIRST" 2>/dev/null && { kill "$TWIN"; fail "two instances run"; }
  wait "$FIRST"; rc=$?
  FIRST=$TWIN
else
  wait "$TWIN"; rc=$?
fi
[ "$rc" -eq 0 ] || fail "the start that gave way exited with $rc"
kill -0 "$FIRST" 2>/dev/null || fail "no instance runs beside a folder window titled Corvella"
echo "of two starts at once exactly one runs, beside a folder window titled Corvella"

start=$(date +%s)
timeout 60 "$WINE" "$EXE" >"$ART/second.log" 2>&1
rc=$?
took=$(( $(date +%s) - start ))
[ "$rc" -eq 0 ] || fail "second start exited with $rc"
[ "$took" -le 20 ] || fail "second start took ${took}s"
kill -0 "$FIRST" 2>/dev/null || fail "the first instance ended when the second started"
echo "second start ended at once (${took}s) with exit code 0; the first runs on"
kill "$FOLDER" 2>/dev/null

if [ -n "$FEEDSIM_PID" ]; then
  for _ in $(seq 1 300); do grep -q "currency_base" "$LOG" 2>/dev/null && break; sleep 0.1; done
  sleep 1
  expected=$(printf '%s\r\n' \
    "GET http://meteo.velmar.example:80/index.php?api_lang=ru&localidad=13564&affiliate_id=qk3d8w2mzx7e&v=2&h=1 HTTP/1.1" \
    "Content-Type: text/html" "Host: meteo.velmar.example" "Accept: text/html, */*" \
    "User-Agent: Mozilla/5.0 (compatible;)" "" \
    "GET http://rates.velmar.example:80/currency_base/daily/ HTTP/1.1" \
    "Content-Type: text/html" "Host: rates.velmar.example" "Accept: text/html, */*" \
    "User-Agent: Mozilla/5.0 (compatible;)" "")
  [ "$(cat "$LOG")" == "$expected" ] || { echo "requests on the wire:"; cat -A "$LOG"; fail "unexpected requests"; }
  echo "first pass: forecast and rates requested through the proxy, byte for byte as expected"
fi

sleep 1
screenshot "$ART/smoke-tray.png" && echo "screenshot: $ART/smoke-tray.png"
if [ -n "$FEEDSIM_PID" ]; then
  # After a pass that received data the icon is the weather picture: its yellow sun
  # (#FFC828) is in the notification area at the bottom right of the desktop. A busy
  # machine's taskbar may take a moment to draw it: look again for up to 10 s.
  for _ in $(seq 1 20); do
    sun=$(convert "$ART/smoke-tray.png" -crop 40x24+760+576 -format %c histogram:info:- | grep -c "#FFC828")
    [ "$sun" -ge 1 ] && break
    sleep 0.5
    screenshot "$ART/smoke-tray.png"
  done
  [ "$sun" -ge 1 ] || fail "the tray icon did not change to the weather picture"
  echo "tray icon shows the weather picture"
  # What the user has not seen yet is not loaded: the settings dialog's common controls, the
  # colour chooser's library, WinINet (the online check's fallback).
  loaded=$("$WINE" "$PROBE" modules 2>/dev/null | tr -d '\r') || fail "could not list the program's DLLs"
  for dll in comctl32.dll comdlg32.dll wininet.dll; do
    grep -qx "$dll" <<<"$loaded" && fail "$dll is loaded although the dialog was never shown"
  done
  echo "after the first pass: no comctl32, comdlg32 or wininet"
fi
if command -v xdotool >/dev/null; then
  # Rest the mouse on the icon (bottom right of the 800x600 desktop) to show the tooltip.
  xdotool mousemove 788 590 >/dev/null 2>&1
  sleep 2
  screenshot "$ART/smoke-tooltip.png" && echo "screenshot: $ART/smoke-tooltip.png"
fi

"$WINE" "$PROBE" menu-last 30 || fail "could not open the tray menu"
for _ in $(seq 1 300); do kill -0 "$FIRST" 2>/dev/null || break; sleep 0.1; done
kill -0 "$FIRST" 2>/dev/null && fail "\"Закрыть\" did not end the program"
wait "$FIRST"
rc=$?
[ "$rc" -eq 0 ] || fail "the first instance exited with $rc"
echo "closed through its menu with exit code 0"
"$WINE" reg query "$KEY" /v version 2>/dev/null | grep -q freeware || fail "the first-run marker was not written"
echo "first-run marker written at exit"
[ -n "$FEEDSIM_PID" ] && kill "$FEEDSIM_PID" 2>/dev/null
stop_display
echo "PASS"
