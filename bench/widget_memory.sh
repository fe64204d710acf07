#!/usr/bin/env bash
# Benchmark (not a test): what the desktop widget's composition leaves resident. Under Wine the
# program runs against feedsim; 15 s after the first pass has shown the widget, its working
# set and private bytes are read (corvella-probe counts). Runs RUNS times and prints the
# median, for this build and, when given, for another corvella.exe the same way. With
# WIDGET_MEMORY_OFFLINE=1 the proxy answers nothing, so nothing is ever composed: the figures
# are then read 15 s after start.
# Usage: widget_memory.sh BUILD_DIR [OTHER_EXE [RUNS]]
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
OTHER=${2:-}
RUNS=${3:-3}
. "$(dirname "$0")/../tests/e2e/session.sh"
trap finish EXIT

# One run: "working-set-KiB private-KiB" of `exe` 15 s after its first pass.
once() {
  local exe=$1 log="$ART/widget-memory-requests.log"
  rm -f "$log"
  "$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
  start_feedsim "$ART/widget-memory-feedsim.out" --log "$log" || return 1
  if [ "${WIDGET_MEMORY_OFFLINE:-0}" == 1 ]; then
    stop_feedsim  # its port, still the proxy, now refuses
    start_program /dev/null "$exe"
    "$WINE" "$PROBE" wait-title Corvella 60 >/dev/null || { stop_program; return 1; }
  else
    start_program /dev/null "$exe"
    wait_for_request "$log" "currency_base" || { stop_program; stop_feedsim; return 1; }
  fi
  sleep 15
  "$WINE" "$PROBE" counts | tr -d '\r' | awk '$2 == "working_set_kib" { ws = $3 } $2 == "private_kib" { pv = $3 }
    END { print ws, pv }'
  "$WINE" "$PROBE" close-window >/dev/null 2>&1
  wait_program_gone 10
  stop_program
  stop_feedsim
  wineserver -w >/dev/null 2>&1
}

measure() {  # exe label
  local i
  for i in $(seq 1 "$RUNS"); do once "$1"; done | sort -n | awk -v label="$2" -v runs="$RUNS" '
    { ws[NR] = $1; pv[NR] = $2 }
    END { m = int((NR + 1) / 2); if (NR == 0) { print label ": no figures"; exit 1 }
          printf "%-6s working set %.2f MiB, private %.2f MiB (median of %d; working sets:", label, ws[m] / 1024, pv[m] / 1024, runs
          for (i = 1; i <= NR; i++) printf " %.2f", ws[i] / 1024; print ")" }'
}

new_session || exit 1
measure "$EXE" "this" || exit 1
if [ -n "$OTHER" ]; then measure "$(cd "$(dirname "$OTHER")" && pwd)/$(basename "$OTHER")" "other" || exit 1; fi
