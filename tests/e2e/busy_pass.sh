#!/usr/bin/env bash
# Under Wine in Xvfb, while the first pass waits on a proxy that never answers: the main
# window answers messages (round trips printed), "Получить сведения" is taken at once and
# only noted (no second request while the first is in flight), and "Закрыть" from the tray
# menu ends the program with exit code 0 instead of waiting for the server.
# Usage: busy_pass.sh BUILD_DIR    (FEEDSIM=native feedsim, default BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/session.sh"
LOG="$ART/busy-requests.log"

new_session || fail "no Wine session"
rm -f "$LOG"
start_feedsim "$ART/busy-feedsim.out" --stall --log "$LOG" || fail "feedsim did not start"
start_program "$ART/busy-program.log"
wait_for_request "$LOG" "index.php" || fail "the first pass never asked for the forecast"

"$WINE" "$PROBE" latency 100 10 | tr -d '\r' || fail "the main window stopped answering during the pass"
"$WINE" "$PROBE" refresh 10 || fail "\"Получить сведения\" was not taken during the pass"
sleep 1
[ "$(grep -c '^GET' "$LOG")" -eq 1 ] || fail "a second request went out while the first was in flight"
echo "a refresh asked for during the pass was noted, not started inside it"

"$WINE" "$PROBE" menu-last 30 || fail "could not open the tray menu during the pass"
expect_clean_exit 20 "\"Закрыть\" did not end the program while it waited on the server"
echo "\"Закрыть\" during the wait ended the program with exit code 0"
finish
echo "PASS"
