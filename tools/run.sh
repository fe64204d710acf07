#!/usr/bin/env bash
# Installs what is missing, builds corvella.exe, and runs it under Wine with its proxy pointed
# at a local server: corvella-gateway with real weather and rates when the public sources answer
# (a probe of a few seconds), otherwise the stand-in feedsim with simulated ones. In $DISPLAY
# when set, otherwise in a private Xvfb, with a screenshot saved after the first refresh.
# Ctrl+C closes the program and everything this script started.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash tools/ci/install-deps.sh || exit 1

BUILD_DIR="$ROOT/build/run-windows"
NATIVE="$ROOT/build/run-native"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCORVELLA_TESTS=OFF >/dev/null || exit 1
cmake --build "$BUILD_DIR" --target corvella corvella-probe || exit 1
if [ -f tools/feedsim/tool.cmake ]; then
  cmake -S . -B "$NATIVE" -G Ninja -DCORVELLA_TESTS=OFF >/dev/null || exit 1
  cmake --build "$NATIVE" --target feedsim || exit 1
fi

# Whether the forecast, the geocoder and the bank all answer, each within 4 s, side by side.
sources_answer() {
  command -v curl >/dev/null || return 1
  local pids=() url ok=0
  for url in "https://api.open-meteo.com/v1/forecast?latitude=55.75&longitude=37.62&current=temperature_2m" \
             "https://geocoding-api.open-meteo.com/v1/search?name=Tver&count=1" \
             "https://www.cbr.ru/scripts/XML_daily.asp"; do
    curl -sf -o /dev/null --max-time 4 -A "Mozilla/5.0 (compatible; corvella-gateway)" "$url" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || ok=1; done
  return $ok
}
GATEWAY=""
if sources_answer; then
  if cmake -S . -B "$NATIVE" -G Ninja -DCORVELLA_TESTS=OFF >/dev/null && \
     cmake --build "$NATIVE" --target corvella-gateway; then
    GATEWAY="$NATIVE/corvella-gateway"
  else
    echo "the public sources answer, but corvella-gateway did not build: using feedsim"
  fi
fi

export BUILD_DIR
. tools/wine/wine-env.sh
. tools/wine/display.sh

FEEDSIM_PID=""
GATEWAY_PID=""
PROGRAM_PID=""
cleanup() {
  trap - INT TERM EXIT
  echo
  if [ -n "$PROGRAM_PID" ] && kill -0 "$PROGRAM_PID" 2>/dev/null; then
    # As "Закрыть" does: the main window is closed, the program writes its first-run
    # marker and ends. The display stays up until it has.
    "$WINE" "$BUILD_DIR/corvella-probe.exe" close-window >/dev/null 2>&1
    for _ in $(seq 1 200); do kill -0 "$PROGRAM_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$PROGRAM_PID" 2>/dev/null; then
      echo "corvella.exe did not close within 20 s; stopping Wine"
    else
      wait "$PROGRAM_PID" 2>/dev/null
      echo "corvella.exe closed with exit code $?"
      marker=$("$WINE" reg query 'HKCU\Software\Velmar\corv' /v version 2>/dev/null | grep -o freeware)
      echo "first-run marker: ${marker:-not written}"
    fi
  fi
  [ -n "$FEEDSIM_PID" ] && kill "$FEEDSIM_PID" 2>/dev/null
  [ -n "$GATEWAY_PID" ] && kill "$GATEWAY_PID" 2>/dev/null
  stop_display
  echo "stopped"
  exit 0
}
trap cleanup INT TERM EXIT

# The display first: Wine's desktop belongs to the first Wine process of the prefix, which
# must already see the display.
start_display || { echo "no X display"; exit 1; }
# Wine's desktop fills the private screen: no black band around it in the screenshot.
CORVELLA_DESKTOP_SIZE="$CORVELLA_SCREEN_SIZE" bash tools/wine/wine-prefix.sh >/dev/null
use_virtual_desktop "$CORVELLA_SCREEN_SIZE"

# The program reaches the weather, rates and update servers through its proxy setting.
use_proxy_port() {
  "$WINE" reg add 'HKCU\Software\Velmar\corv' /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Velmar\corv' /v portPrx /d "$1" /f >/dev/null 2>&1
}
rates_answered() {  # the rates page is the last thing a refresh asks for
  if [ -n "$GATEWAY_PID" ]; then
    [ "$(curl -s -o /dev/null -w '%{http_code}' --max-time 2 -x "127.0.0.1:$PORT" \
         http://rates.velmar.example/currency_base/daily/)" = 200 ]
  else
    grep -q currency_base "$BUILD_DIR/feedsim-requests.log" 2>/dev/null
  fi
}
PORT=""
if [ -n "$GATEWAY" ]; then
  PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$GATEWAY" --listen "127.0.0.1:$PORT" --db "$NATIVE/run-geocode.sqlite" >"$BUILD_DIR/gateway.out" 2>&1 &
  GATEWAY_PID=$!
  for _ in $(seq 1 50); do grep -q "listening" "$BUILD_DIR/gateway.out" 2>/dev/null && break; sleep 0.1; done
  if grep -q "listening" "$BUILD_DIR/gateway.out"; then
    use_proxy_port "$PORT"
    echo "real weather: the public sources answer; corvella-gateway on 127.0.0.1:$PORT serves them (log: $BUILD_DIR/gateway.out)"
  else
    echo "corvella-gateway did not start ($BUILD_DIR/gateway.out): using feedsim"
    kill "$GATEWAY_PID" 2>/dev/null
    GATEWAY_PID=""
  fi
fi
if [ -z "$GATEWAY_PID" ] && [ -x "$NATIVE/feedsim" ]; then
  [ -z "$GATEWAY" ] && echo "simulated weather: the public sources do not answer (no Internet?); feedsim stands in"
  rm -f "$BUILD_DIR/feedsim-requests.log"
  "$NATIVE/feedsim" --port 0 --log "$BUILD_DIR/feedsim-requests.log" >"$BUILD_DIR/feedsim.out" 2>&1 &
  FEEDSIM_PID=$!
  for _ in $(seq 1 50); do grep -q "listening" "$BUILD_DIR/feedsim.out" 2>/dev/null && break; sleep 0.1; done
  PORT=$(grep -oE "127\.0\.0\.1:[0-9]+" "$BUILD_DIR/feedsim.out" | head -n 1 | cut -d: -f2)
  if [ -n "$PORT" ]; then
    use_proxy_port "$PORT"
    echo "feedsim on 127.0.0.1:$PORT (requests logged to $BUILD_DIR/feedsim-requests.log)"
  fi
fi

# In its own session, so that Ctrl+C reaches only this script, which then closes the
# program the way its window would be closed.
setsid "$WINE" "$BUILD_DIR/corvella.exe" &
PROGRAM_PID=$!
if [ -n "$XVFB_PID" ]; then
  # Nobody sees the private display: a screenshot after the first refresh shows it instead,
  # with the mouse resting on the tray icon so that its tooltip is up.
  for _ in $(seq 1 300); do rates_answered && break; sleep 0.1; done
  [ -n "$GATEWAY_PID" ] && sleep 3  # the gateway had the rates before the program asked
  sleep 2
  width=${CORVELLA_SCREEN_SIZE%x*}
  height=${CORVELLA_SCREEN_SIZE#*x}
  command -v xdotool >/dev/null && xdotool mousemove $((width - 12)) $((height - 10)) >/dev/null 2>&1
  sleep 2
  mkdir -p "$BUILD_DIR/artifacts"
  SHOT="$BUILD_DIR/artifacts/run.png"
  screenshot "$SHOT" && echo "screenshot: $SHOT"
fi
echo "corvella.exe is running (display $DISPLAY); Ctrl+C ends it"
wait "$PROGRAM_PID"
echo "corvella.exe exited with code $?"
PROGRAM_PID=""
