# Sourced by the Wine end-to-end scripts once BUILD_DIR is set: the Wine environment and
# display, feedsim as the program's proxy, and the program under test.
. "$(dirname "${BASH_SOURCE[0]}")/e2e_env.sh"
FEEDSIM=${FEEDSIM:-$BUILD_DIR/../native/feedsim}
SETTINGS_KEY=$KEY
FEEDSIM_PID=""
FEEDSIM_PORT=""
PROGRAM=""

# A Wine session of its own in the virtual desktop, with no stored settings.
new_session() {
  [ -x "$FEEDSIM" ] || { echo "set FEEDSIM to the native feedsim"; return 1; }
  start_display || return 1
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  use_virtual_desktop 800x600
  "$WINE" reg delete "$SETTINGS_KEY" /f >/dev/null 2>&1
  return 0
}

# Starts feedsim on a free port with OPTIONS and makes it the program's proxy.
# Usage: start_feedsim OUTPUT_FILE [options...]
start_feedsim() {
  launch_feedsim "$@" && use_feedsim_proxy
}
stop_feedsim() {
  [ -n "$FEEDSIM_PID" ] && kill "$FEEDSIM_PID" 2>/dev/null
  FEEDSIM_PID=""
}

# Starts `exe` (default the program under test); its output goes to OUTPUT_FILE.
start_program() {
  "$WINE" "${2:-$EXE}" >"$1" 2>&1 &
  PROGRAM=$!
}
stop_program() {
  [ -n "$PROGRAM" ] && kill "$PROGRAM" 2>/dev/null
  PROGRAM=""
}

# Waits up to 30 s until feedsim's request log LOG holds a line with TEXT.
wait_for_request() {
  for _ in $(seq 1 300); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
