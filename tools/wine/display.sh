# Sourced: an X display for Wine (the caller's $DISPLAY, or a private Xvfb), and Wine's
# virtual desktop so the notification area is drawn inside it. Needs wine-env.sh.
XVFB_PID=""
# The private screen's size; the run command gives Wine's desktop the same size.
CORVELLA_SCREEN_SIZE="${CORVELLA_SCREEN_SIZE:-1024x768}"
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${CORVELLA_FORCE_XVFB:-}" ]; then return 0; fi
  # Xvfb picks a free display itself and writes its number once it listens, so two runs
  # started at the same moment never share a screen (looking for a free lock file first
  # would let both take the same one).
  local number_file n
  number_file=$(mktemp)
  # A session of its own: Ctrl+C in the caller's terminal must not end the display
  # under a program that is still closing.
  setsid Xvfb -displayfd 3 -screen 0 "${CORVELLA_SCREEN_SIZE}x24" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    n=$(tr -dc '0-9' <"$number_file")
    if [ -n "$n" ]; then
      rm -f "$number_file"
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
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
