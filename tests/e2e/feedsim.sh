# Sourced: starts the native feedsim ($FEEDSIM) on a free port and points the program's
# proxy setting at it. Sets FEEDSIM_PID and FEEDSIM_PORT; false when it did not start.
# Usage: start_feedsim OUTPUT_FILE [feedsim options...]
FEEDSIM_PID=""
FEEDSIM_PORT=""
start_feedsim() {
  local out=$1
  shift
  "$FEEDSIM" --port 0 "$@" >"$out" 2>&1 &
  FEEDSIM_PID=$!
  for _ in $(seq 1 50); do grep -q listening "$out" 2>/dev/null && break; sleep 0.1; done
  FEEDSIM_PORT=$(grep -oE "127\.0\.0\.1:[0-9]+" "$out" | head -n 1 | cut -d: -f2)
  [ -n "$FEEDSIM_PORT" ] || return 1
  "$WINE" reg add 'HKCU\Software\Velmar\corv' /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Velmar\corv' /v portPrx /d "$FEEDSIM_PORT" /f >/dev/null 2>&1
}
stop_feedsim() {
  [ -n "$FEEDSIM_PID" ] && kill "$FEEDSIM_PID" 2>/dev/null
  FEEDSIM_PID=""
}
