#!/usr/bin/env bash
# Benchmark (not a test): how fast the program answers its window while a server is slow.
# Under Wine, the program's proxy is feedsim --stall (it accepts, reads the request and never
# answers); during the first pass, COUNT messages are sent to the main window INTERVAL_MS
# apart and each round trip is timed. Prints median, 99th percentile and worst, for this
# build and, when given, for another corvella.exe (for instance one built from an earlier
# commit) in the same way.
# Usage: pump_latency.sh BUILD_DIR [OTHER_EXE [COUNT [INTERVAL_MS]]]
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
OTHER=${2:-}
COUNT=${3:-300}
INTERVAL=${4:-10}
. "$(dirname "$0")/../tests/e2e/session.sh"
trap finish EXIT

# One run: the round trips of `exe` while its first pass waits on the silent proxy.
measure() {
  local exe=$1 label=$2 log="$ART/latency-requests.log"
  rm -f "$log"
  "$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
  start_feedsim "$ART/latency-feedsim.out" --stall --log "$log" || { echo "feedsim did not start"; return 1; }
  start_program /dev/null "$exe"
  # The pass has sent its request and waits for an answer that never comes (60 s).
  wait_for_request "$log" "index.php" || { echo "$label: the first pass never asked for the forecast"; return 1; }
  printf '%-10s ' "$label"
  "$WINE" "$PROBE" latency "$COUNT" "$INTERVAL" | tr -d '\r'
  "$WINE" "$PROBE" close-window >/dev/null 2>&1
  wait_program_gone 10
  stop_program
  stop_feedsim
  wineserver -w >/dev/null 2>&1
}

new_session || exit 1
measure "$EXE" "this" || exit 1
if [ -n "$OTHER" ]; then measure "$(cd "$(dirname "$OTHER")" && pwd)/$(basename "$OTHER")" "other" || exit 1; fi
