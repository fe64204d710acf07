# Sourced: an X display for Wine (the caller's $DISPLAY, or a private Xvfb), and Wine's
# virtual desktop so the notification area is drawn inside it. Needs wine-env.sh.
XVFB_PID=""
# The private screen's size; the run command gives Wine's desktop the same size.
CORVELLA_SCREEN_SIZE="${CORVELLA_SCREEN_SIZE:-1024x768}"
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${CORVELLA_FORCE_XVFB:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      # A session of its own: Ctrl+C in the caller's terminal must not end the display
      # under a program that is still closing.
      setsid Xvfb ":$n" -screen 0 "${CORVELLA_SCREEN_SIZE}x24" -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
      return 1
    fi
  done
  return 1
}
stop_display() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}
# Usage: use_virtual_desktop SIZE [DPI]   (DPI 96 unless given)
use_virtual_desktop() {
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${2:-96}" /f >/dev/null 2>&1
  # A session's desktop takes its size and scale when the session starts, and the reg
  # commands above started one with an earlier test's: end it, so the next start is afresh.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}
screenshot() {
  import -display "$DISPLAY" -window root "$1" 2>/dev/null
}
