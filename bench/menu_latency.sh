#!/usr/bin/env bash
# Benchmark (not a test): how long a right press on the tray icon takes to open the menu when
# a refresh pass falls due at that moment and the server is stalled. Under Wine, after a
# first pass against feedsim, a listener that accepts and never answers takes feedsim's port
# (python3; feedsim itself cannot bind it again so soon); a wake then makes a pass due 4 s
# later, and the probe presses on the icon with that pass due.
# Prints the milliseconds from the press to the open menu, for this build and, when given,
# for another corvella.exe (for instance one built from an earlier commit).
# Usage: menu_latency.sh BUILD_DIR [OTHER_EXE [LIMIT_SECONDS]]
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
OTHER=${2:-}
LIMIT=${3:-90}
. "$(dirname "$0")/../tests/e2e/session.sh"
trap finish EXIT

measure() {  # EXE LABEL
  local log="$ART/menu-latency-requests.log"
  rm -f "$log"
  "$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
  start_feedsim "$ART/menu-latency-feedsim.out" --log "$log" || { echo "feedsim did not start"; return 1; }
  start_program /dev/null "$1"
  wait_for_request "$log" "currency_base" || { echo "$2: no first pass"; return 1; }
  sleep 2
  stop_feedsim
  python3 -c '
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(16)
held = []
while True:
    held.append(s.accept()[0])
' "$FEEDSIM_PORT" &
  STALL_PID=$!
  sleep 0.5
  printf '%-10s ' "$2"
  "$WINE" "$PROBE" menu-when-due "$LIMIT" | tr -d '\r'
  "$WINE" "$PROBE" close-window >/dev/null 2>&1
  wait_program_gone 10
  stop_program
  kill "$STALL_PID" 2>/dev/null
  wineserver -w >/dev/null 2>&1
}

new_session || exit 1
measure "$EXE" "this" || exit 1
if [ -n "$OTHER" ]; then measure "$(cd "$(dirname "$OTHER")" && pwd)/$(basename "$OTHER")" "other" || exit 1; fi
