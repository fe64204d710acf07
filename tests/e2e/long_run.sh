#!/usr/bin/env bash
# Long run under Wine in Xvfb: the real corvella.exe against feedsim runs PASSES refresh
# passes, each asked for with the menu command "Получить сведения" and each getting another
# forecast (new temperature, tray digits, tooltip), and must hold what it holds: the live
# handle counts of every kind, its windows, working set and private memory are printed at
# the start, after WARMUP passes and at the end, and the check fails when any of them is
# higher at the end than after the warm-up (memory: beyond a small margin for heaps that
# settle).
# Usage: long_run.sh BUILD_DIR [PASSES [WARMUP]]     (defaults 1000 and 100)
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
# Output: BUILD_DIR/artifacts/long-run.txt, long-run.png
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
PASSES=${2:-1000}
WARMUP=${3:-100}
export LC_ALL=C.UTF-8  # the Russian value names below reach Wine intact
. "$(dirname "$0")/session.sh"
LOG="$ART/long-run-requests.log"

[ "$WARMUP" -lt "$PASSES" ] || { echo "FAIL: WARMUP must be below PASSES"; exit 1; }
new_session || fail "no Wine session"
rm -f "$LOG"
start_feedsim "$ART/long-run-feedsim.out" --vary --log "$LOG" || fail "feedsim did not start"
# Everything a pass can draw: both digit pictures, and the summary balloon with the
# version check after it.
"$WINE" reg add "$SETTINGS_KEY" /v "большиеЦифры" /d 1 /f >/dev/null 2>&1
"$WINE" reg add "$SETTINGS_KEY" /v "сообщать" /d 1 /f >/dev/null 2>&1

start_program "$ART/long-run-program.log"
"$WINE" "$PROBE" wait-title Corvella 60 || fail "the program never showed its application window"
# The first pass (1.5 s after start) ends before the run begins.
wait_for_request "$LOG" "currency_base" || fail "the first pass did not fetch the rates"
sleep 1
before=$(grep -c "index.php" "$LOG")

started=$(date +%s)
"$WINE" "$PROBE" long-run "$PASSES" "$WARMUP" >"$ART/long-run.txt" 2>&1
rc=$?
took=$(( $(date +%s) - started ))
tr -d '\r' <"$ART/long-run.txt" | awk '
  $1 == "start" || $1 == "warm" || $1 == "end" { v[$2, $1] = $3; if (!seen[$2]++) order[n++] = $2 }
  $1 == "growing:" { print }
  END { printf "%-16s %10s %10s %10s\n", "", "start", "warm-up", "end";
        for (i = 0; i < n; i++) printf "%-16s %10s %10s %10s\n", order[i], v[order[i], "start"], v[order[i], "warm"], v[order[i], "end"] }'
echo "$PASSES passes in ${took}s"
[ "$rc" -eq 0 ] || fail "something keeps growing over $PASSES passes (see above, $ART/long-run.txt)"
after=$(grep -c "index.php" "$LOG")
[ $((after - before)) -ge "$PASSES" ] || fail "only $((after - before)) forecasts were fetched in $PASSES passes"

screenshot "$ART/long-run.png"
"$WINE" "$PROBE" close-window || fail "could not close the program"
expect_clean_exit 10 "the program did not end when closed"
finish
echo "PASS"
