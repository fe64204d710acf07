#!/usr/bin/env bash
# Benchmark (not a test): how long the forecast window takes to open, against the tray menu,
# in one run under Wine after a first pass against feedsim. The probe opens the menu (a right
# press on the icon) and the window (Enter on the icon) in turns, each timed from the shell's
# message to the window shown and painted, and prints the medians, the window's first opening
# (which makes it and decodes its pictures) apart, and the ratio window/menu.
# Usage: flyout_latency.sh BUILD_DIR [ROUNDS]
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
ROUNDS=${2:-15}
. "$(dirname "$0")/../tests/e2e/session.sh"
trap finish EXIT

new_session || exit 1
log="$ART/flyout-latency-requests.log"
"$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
start_feedsim "$ART/flyout-latency-feedsim.out" --log "$log" || { echo "feedsim did not start"; exit 1; }
start_program /dev/null "$EXE"
wait_for_request "$log" "currency_base" || { echo "no first pass"; exit 1; }
sleep 2
"$WINE" "$PROBE" open-latency "$ROUNDS" | tr -d '\r'
"$WINE" "$PROBE" close-window >/dev/null 2>&1
wait_program_gone 10
