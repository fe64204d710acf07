# Sourced by the Wine end-to-end scripts once BUILD_DIR is set (and E2E_ART_DIR, when a
# script keeps its screenshots and logs elsewhere): the Wine environment and display helpers,
# the program, the probe, the folder for screenshots and logs, the settings key, and the
# journey's common steps: feedsim, waiting, the stored values, fail and finish. A script
# defines journey_cleanup (undone at the end) and journey_failed (kept on failure) as needed.
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$E2E_DIR/../../tools/wine/wine-env.sh"
. "$E2E_DIR/../../tools/wine/display.sh"
EXE="$BUILD_DIR/corvella.exe"
PROBE="$BUILD_DIR/corvella-probe.exe"
ART=${E2E_ART_DIR:-$BUILD_DIR/artifacts}
mkdir -p "$ART"
KEY='HKCU\Software\Velmar\corv'
# The taskbar's theme. With no value the program takes the taskbar for a dark one (Windows 7 to
# 10 before 1903); Wine's grey taskbar is a light one, which a journey that looks at the digits
# says with `taskbar_theme 1` (0 dark, none: no value) and undoes with `taskbar_theme none`.
THEME_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
taskbar_theme() {
  if [ "$1" = none ]; then
    "$WINE" reg delete "$THEME_KEY" /v SystemUsesLightTheme /f >/dev/null 2>&1
  else
    "$WINE" reg add "$THEME_KEY" /v SystemUsesLightTheme /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  fi
}

# Starts the native feedsim on a free port with OPTIONS, its output in OUTPUT_FILE; sets
# FEEDSIM_PID and FEEDSIM_PORT. Fails when it did not start listening within 5 s.
# Usage: launch_feedsim OUTPUT_FILE [options...]
launch_feedsim() {
  local out=$1
  shift
  "$FEEDSIM" --port 0 "$@" >"$out" 2>&1 &
  FEEDSIM_PID=$!
  for _ in $(seq 1 50); do grep -q listening "$out" 2>/dev/null && break; sleep 0.1; done
  FEEDSIM_PORT=$(grep -oE "127\.0\.0\.1:[0-9]+" "$out" | head -n 1 | cut -d: -f2)
  [ -n "$FEEDSIM_PORT" ]
}
# Makes the running feedsim the program's proxy in the settings key.
use_feedsim_proxy() {
  "$WINE" reg add "$KEY" /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
  "$WINE" reg add "$KEY" /v portPrx /d "$FEEDSIM_PORT" /f >/dev/null 2>&1
}

# Waits up to SECONDS for the program under test to end.
wait_program_gone() {
  for _ in $(seq 1 $(($1 * 10))); do kill -0 "$PROGRAM" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}
# Waits up to SECONDS for the program to end with exit code 0; fails (the
# script's own fail) with WHAT if it runs on.
expect_clean_exit() {  # SECONDS WHAT
  wait_program_gone "$1" || fail "$2"
  wait "$PROGRAM"
  local rc=$?
  PROGRAM=""
  [ "$rc" -eq 0 ] || fail "the program ended with exit code $rc"
}

# Waits up to SECONDS for COMMAND to succeed.
wait_for() {  # SECONDS COMMAND...
  local limit=$(($1 * 10))
  shift
  for _ in $(seq 1 "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# The settings key as stored, one line a value (reg export keeps Cyrillic names intact).
stored_key() {
  rm -f "$ART/settings.reg"
  "$WINE" reg export "$KEY" "$(winepath -w "$ART/settings.reg" 2>/dev/null)" /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$ART/settings.reg" 2>/dev/null | tr -d '\r' | grep -v '^$'
}
# The text of the stored value NAME (its quotes removed), or nothing when it is not stored.
stored() {
  stored_key | sed -n "s/^\"$1\"=//p" | sed 's/^"\(.*\)"$/\1/'
}

# Ends what the journey started: the program (PROGRAM) and feedsim, then whatever the script's
# own journey_cleanup undoes (when it defines one), then the display. Safe to call twice.
finish() {
  [ -n "${PROGRAM:-}" ] && kill "$PROGRAM" 2>/dev/null
  PROGRAM=""
  [ -n "${FEEDSIM_PID:-}" ] && kill "$FEEDSIM_PID" 2>/dev/null
  FEEDSIM_PID=""
  if declare -F journey_cleanup >/dev/null; then journey_cleanup; fi
  stop_display
}
# Reports the failure, keeps what the script's journey_failed keeps (a screenshot, say),
# and ends the journey.
fail() {
  echo "FAIL: $*"
  if declare -F journey_failed >/dev/null; then journey_failed; fi
  finish
  exit 1
}
