#!/usr/bin/env bash
# Benchmark (not a test): what Corvella costs while it waits in the notification area, against
# a program that only adds a tray icon (bench/minimal_tray_win32.cpp), both stripped
# and started the same way in one Wine session in Xvfb, Corvella with feedsim as its proxy.
# Each run measures: start-up (from the process start until its main window answers, that is
# until what it shows at start is there), the working set 15 s after the first refresh pass (the
# minimal program: as long after its start), and, for Corvella, the first opening of
# "Свойства..." (from the Enter in the tray menu until the dialog is shown). Prints the median
# of RUNS runs of each, the extra working set over the minimal program and the start-up ratio;
# with OTHER_EXE (for instance a corvella.exe built from an earlier commit) that one as well.
# Usage: memory_startup.sh BUILD_DIR [OTHER_EXE [RUNS]]      (RUNS default 5)
#        FEEDSIM=path of the native feedsim (default: BUILD_DIR/../native/feedsim)
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
OTHER=${2:-}
RUNS=${3:-5}
SETTLE=15
. "$(dirname "$0")/../tests/e2e/session.sh"
trap finish EXIT

cmake --build "$BUILD_DIR" --target corvella corvella-probe minimal-tray >/dev/null || fail "build failed"
# The prefix as the tests make it (with the fonts that the widget's pictures need).
BUILD_DIR="$BUILD_DIR" "$E2E_DIR/../../tools/wine/wine-prefix.sh" >/dev/null || fail "no Wine prefix"
BENCH="$ART/memory-bench"
rm -rf "$BENCH" && mkdir -p "$BENCH"
# Stripped, as the packages ship them.
copy_stripped() { x86_64-w64-mingw32-strip -o "$BENCH/$2" "$1" || fail "could not strip $1"; }
copy_stripped "$BUILD_DIR/minimal-tray.exe" minimal.exe
copy_stripped "$EXE" corvella.exe
[ -n "$OTHER" ] && copy_stripped "$OTHER" other.exe

probe() { "$WINE" "$PROBE" "$@" | tr -d '\r'; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# One run of `name` (minimal, corvella or other): appends to $BENCH/NAME.{startup,memory,dialog}.
run_once() {
  local name=$1 class=CorvellaMainForm log="$BENCH/requests.log" out pid memory
  [ "$name" = minimal ] && class=MinimalTrayWindow
  "$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
  rm -f "$log"
  start_feedsim "$BENCH/feedsim.out" --log "$log" || fail "feedsim did not start"
  # Into a file: the program inherits the probe's output and keeps a pipe open.
  "$WINE" "$PROBE" launch "Z:$BENCH/$name.exe" "$class" 60 >"$BENCH/launch.out" 2>&1 || fail "$name did not start"
  pid=$(tr -d '\r' <"$BENCH/launch.out" | awk '$1 == "startup_ms" { print $4 }')
  tr -d '\r' <"$BENCH/launch.out" | awk '$1 == "startup_ms" { print $2 }' >>"$BENCH/$name.startup"
  if [ "$name" = minimal ]; then
    sleep 1.5  # where Corvella's first pass begins
  else
    wait_for_request "$log" "currency_base" || fail "$name: the first pass did not fetch the rates"
  fi
  sleep "$SETTLE"
  memory=$(probe memory "$pid") || fail "$name: no memory counters"
  awk '{ print $2 }' <<<"$memory" >>"$BENCH/$name.memory"
  if [ "$name" != minimal ]; then
    probe open-dialog 30 | awk '{ print $2 }' >>"$BENCH/$name.dialog"
  fi
  probe close-window "$class" >/dev/null || fail "$name: could not close it"
  sleep 2
  stop_feedsim
}

new_session || fail "no Wine session"
names="minimal corvella"
[ -n "$OTHER" ] && names="$names other"
# The programs take turns, so that whatever the machine does meanwhile falls on all of them.
for run in $(seq 1 "$RUNS"); do
  for name in $names; do run_once "$name"; done
  echo "run $run of $RUNS done"
done

floor_ms=$(median <"$BENCH/minimal.startup")
floor_kib=$(median <"$BENCH/minimal.memory")
printf '%-9s %12s %16s %14s\n' "" "start-up ms" "working set MiB" "dialog ms"
for name in $names; do
  startup=$(median <"$BENCH/$name.startup")
  kib=$(median <"$BENCH/$name.memory")
  dialog="-"
  [ -s "$BENCH/$name.dialog" ] && dialog=$(median <"$BENCH/$name.dialog")
  printf '%-9s %12.0f %16.1f %14s\n' "$name" "$startup" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$dialog"
done
for name in $names; do
  [ "$name" = minimal ] && continue
  awk -v n="$name" -v k="$(median <"$BENCH/$name.memory")" -v f="$floor_kib" \
      -v s="$(median <"$BENCH/$name.startup")" -v fs="$floor_ms" \
      'BEGIN { printf "%s: extra working set %+.1f MiB, start-up ratio %.2f\n", n, (k - f) / 1024, s / fs }'
done
