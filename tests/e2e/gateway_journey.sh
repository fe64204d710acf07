#!/usr/bin/env bash
# corvella.exe under Wine with corvella-gateway as its proxy, the gateway fed by the HTTPS
# stand-ins of the gateway tests: the first pass fetches the forecast and the rates from the
# gateway (its own request counters say so), the widget shows the current hour's sky, and "close" ends the
# program with exit code 0. Skipped (77) when the native gateway is not built.
# Usage: gateway_journey.sh BUILD_DIR   (GATEWAY=the native corvella-gateway, default
#        BUILD_DIR/../native/corvella-gateway)
# Screenshot: BUILD_DIR/artifacts/gateway-tray.png
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/e2e_env.sh"
GATEWAY=${GATEWAY:-$BUILD_DIR/../native/corvella-gateway}
[ -x "$GATEWAY" ] || { echo "SKIP: no native corvella-gateway at $GATEWAY"; exit 77; }
PORT_FILE="$ART/gateway.port"
SERVER="" PROGRAM=""

journey_cleanup() {
  [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null && wait "$SERVER" 2>/dev/null
}

rm -f "$PORT_FILE"
python3 "$E2E_DIR/../gateway/gateway_test.py" serve "$GATEWAY" "$PORT_FILE" >"$ART/gateway-serve.log" 2>&1 &
SERVER=$!
for _ in $(seq 1 100); do [ -s "$PORT_FILE" ] && break; sleep 0.1; done
[ -s "$PORT_FILE" ] || fail "the gateway did not start: $(cat "$ART/gateway-serve.log")"
PORT=$(cat "$PORT_FILE")
# Whether the gateway's counters hold TEXT (read whole: grep -q would cut curl short).
counted() { local m; m=$(curl -s "http://127.0.0.1:$PORT/metrics"); grep -q "$1" <<<"$m"; }

start_display || fail "no X display"
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
export TZ=Europe/Moscow  # the wineserver started next keeps it
use_virtual_desktop 800x600
"$WINE" reg delete "$KEY" /f >/dev/null 2>&1
"$WINE" reg add "$KEY" /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
"$WINE" reg add "$KEY" /v portPrx /d "$PORT" /f >/dev/null 2>&1

# The program reads the hour of its own clock: Moscow time, the stand-in place's time zone.
TZ=Europe/Moscow "$WINE" "$EXE" >"$ART/gateway-program.log" 2>&1 &
PROGRAM=$!
"$WINE" "$PROBE" wait-title Corvella 60 || fail "the program never showed its application window"
for _ in $(seq 1 300); do
  counted 'route="rates",status="200"' && break
  sleep 0.1
done
counted 'route="feed",status="200"' || fail "no forecast fetched from the gateway"
counted 'route="rates",status="200"' || fail "no rates fetched from the gateway"
counted 'route="proxy_refused"' && fail "the gateway refused the program's proxy requests"
echo "first pass: forecast and rates fetched through the gateway"

# The stand-in's current sky is rain: the widget (top right of the desktop) shows the rain picture,
# whose drops are #377DCF; the hours around it are snow, which has none.
for _ in $(seq 1 20); do
  sleep 0.5
  screenshot "$ART/gateway-tray.png"
  drops=$(convert "$ART/gateway-tray.png" -crop 150x50+625+100 -format %c histogram:info:- | grep -c "#377DCF")
  [ "$drops" -ge 1 ] && break
done
echo "screenshot: $ART/gateway-tray.png"
[ "$drops" -ge 1 ] || fail "the widget does not show the current hour's rain"
"$WINE" "$PROBE" close-window >/dev/null 2>&1
expect_clean_exit 10 "the program did not end after close"
echo "closed with exit code 0"
finish
