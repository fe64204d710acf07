#!/usr/bin/env bash
# Smoke test of corvella.exe under Wine in Xvfb: it starts and shows its tray icon, a
# second start ends at once with exit code 0 while the first keeps running, and the
# first ends with exit code 0 through its "Закрыть" menu command.
# Usage: smoke.sh BUILD_DIR     (screenshot: BUILD_DIR/artifacts/smoke-tray.png)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../../tools/wine/wine-env.sh"
. "$HERE/../../tools/wine/display.sh"
EXE="$BUILD_DIR/corvella.exe"
PROBE="$BUILD_DIR/corvella-probe.exe"
ART="$BUILD_DIR/artifacts"
mkdir -p "$ART"

fail() { echo "FAIL: $*"; kill "${FIRST:-0}" 2>/dev/null; stop_display; exit 1; }

start_display || fail "no X display"
use_virtual_desktop 800x600

"$WINE" "$EXE" >"$ART/first.log" 2>&1 &
FIRST=$!
"$WINE" "$PROBE" wait-title Corvella 60 || fail "the first instance never showed its application window"

start=$(date +%s)
timeout 60 "$WINE" "$EXE" >"$ART/second.log" 2>&1
rc=$?
took=$(( $(date +%s) - start ))
[ "$rc" -eq 0 ] || fail "second start exited with $rc"
[ "$took" -le 20 ] || fail "second start took ${took}s"
kill -0 "$FIRST" 2>/dev/null || fail "the first instance ended when the second started"
echo "second start ended at once (${took}s) with exit code 0; the first runs on"

sleep 2
screenshot "$ART/smoke-tray.png" && echo "screenshot: $ART/smoke-tray.png"

"$WINE" "$PROBE" menu-last 30 || fail "could not open the tray menu"
for _ in $(seq 1 300); do kill -0 "$FIRST" 2>/dev/null || break; sleep 0.1; done
kill -0 "$FIRST" 2>/dev/null && fail "\"Закрыть\" did not end the program"
wait "$FIRST"
rc=$?
[ "$rc" -eq 0 ] || fail "the first instance exited with $rc"
echo "closed through its menu with exit code 0"
stop_display
echo "PASS"
