#!/usr/bin/env bash
# Installs what is missing, builds corvella.exe and the local stand-in server feedsim,
# and runs the program under Wine with its proxy pointed at feedsim: in $DISPLAY when
# set, otherwise in a private Xvfb, with a screenshot saved after the first refresh.
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

export BUILD_DIR
. tools/wine/wine-env.sh
. tools/wine/display.sh

FEEDSIM_PID=""
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

if [ -x "$NATIVE/feedsim" ]; then
  rm -f "$BUILD_DIR/feedsim-requests.log"
  "$NATIVE/feedsim" --port 0 --log "$BUILD_DIR/feedsim-requests.log" >"$BUILD_DIR/feedsim.out" 2>&1 &
  FEEDSIM_PID=$!
  for _ in $(seq 1 50); do grep -q "listening" "$BUILD_DIR/feedsim.out" 2>/dev/null && break; sleep 0.1; done
  PORT=$(grep -oE "127\.0\.0\.1:[0-9]+" "$BUILD_DIR/feedsim.out" | head -n 1 | cut -d: -f2)
  if [ -n "$PORT" ]; then
    # The program reaches the weather, rates and update servers through its proxy setting.
    "$WINE" reg add 'HKCU\Software\Velmar\corv' /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Velmar\corv' /v portPrx /d "$PORT" /f >/dev/null 2>&1
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
  for _ in $(seq 1 300); do grep -q currency_base "$BUILD_DIR/feedsim-requests.log" 2>/dev/null && break; sleep 0.1; done
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
