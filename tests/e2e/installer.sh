#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix made afresh for it:
#   - a silent install puts the program, the licence, the uninstaller, the Start-menu
#     shortcut and the Uninstall entry in place, and the installed corvella.exe starts and
#     shows its tray icon;
#   - installing over the running program closes it through its window (exit code 0, its
#     first-run marker written), replaces the file and, with /RUN, starts the new one;
#   - a silent uninstall closes the program, removes the files, the shortcut, the Uninstall
#     entry and the autostart entry that points at the installation (written in capitals),
#     and keeps the settings.
# Usage: installer.sh BUILD_DIR SETUP_EXE
# Screenshot: BUILD_DIR/artifacts/installer-tray.png
set -uo pipefail
BUILD_DIR=$(cd "$1" && pwd)
SETUP=$2
HERE=$(cd "$(dirname "$0")" && pwd)
TOOLS="$HERE/../../tools/wine"
export WINEPREFIX="$BUILD_DIR/installer-prefix"
# No desktop entries on the host for the shortcut the installer makes.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
. "$TOOLS/wine-env.sh"
. "$TOOLS/display.sh"
PROBE="$BUILD_DIR/corvella-probe.exe"
ART="$BUILD_DIR/artifacts"
mkdir -p "$ART"
SETTINGS='HKCU\Software\Velmar\corv'
UNINSTALL='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvella'
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
FIRST=""

fail() {
  echo "FAIL: $*"
  [ -n "$FIRST" ] && kill "$FIRST" 2>/dev/null
  stop_display
  exit 1
}
reg_value() {  # key, value name: the value's data, or nothing
  "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -nE "s/^ +$2 +REG_[A-Z_]+ +(.*)$/\1/p"
}
wait_until() {  # seconds, command...: true once the command succeeds
  local tenths=$(($1 * 10)); shift
  for _ in $(seq 1 "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}
gone() { [ ! -e "$1" ]; }
window_gone() { ! "$WINE" "$PROBE" wait-title Corvella 0 >/dev/null 2>&1; }

[ -f "$SETUP" ] || fail "no installer at $SETUP"
[ -x "$PROBE" ] || fail "no probe at $PROBE"
start_display || fail "no X display"
wineserver -k >/dev/null 2>&1
rm -rf "$WINEPREFIX"
started=$(date +%s)
BUILD_DIR="$BUILD_DIR" bash "$TOOLS/wine-prefix.sh" >/dev/null || fail "could not make the Wine prefix"
echo "fresh prefix made in $(( $(date +%s) - started ))s"

user=$(id -un)
DIR="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Corvella"
WIN_DIR="C:\\users\\$user\\AppData\\Local\\Programs\\Corvella"
LINK="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Corvella.lnk"

# Settings from an earlier installation; the proxy at a closed port keeps the program
# away from the real servers.
"$WINE" reg add "$SETTINGS" /v Prx /d 127.0.0.1 /f >/dev/null 2>&1
"$WINE" reg add "$SETTINGS" /v portPrx /d 1 /f >/dev/null 2>&1

# 1. Silent install.
"$WINE" "$SETUP" /S
rc=$?
[ "$rc" -eq 0 ] || fail "silent install exited with $rc"
for f in corvella.exe LICENSE.txt uninstall.exe; do
  [ -f "$DIR/$f" ] || fail "$f is not in the installation folder"
done
x86_64-w64-mingw32-objdump -h "$DIR/corvella.exe" | grep -q "\.debug_" && fail "corvella.exe was installed with its debug information"
[ -f "$LINK" ] || fail "no Start-menu shortcut"
[ "$(reg_value "$UNINSTALL" DisplayName)" == "Corvella" ] || fail "Uninstall entry: no display name"
[ "$(reg_value "$UNINSTALL" DisplayVersion)" == "5.9.0.335" ] || fail "Uninstall entry: wrong version"
[ "$(reg_value "$UNINSTALL" Publisher)" == "Velmar" ] || fail "Uninstall entry: no publisher"
[ "$(reg_value "$UNINSTALL" DisplayIcon)" == "$WIN_DIR\\corvella.exe,0" ] || fail "Uninstall entry: no icon"
[ "$(reg_value "$UNINSTALL" UninstallString)" == "\"$WIN_DIR\\uninstall.exe\"" ] || fail "Uninstall entry: no uninstall string"
size=$(reg_value "$UNINSTALL" EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 100 ] || fail "Uninstall entry: no size ($size)"
echo "silent install: files, shortcut and Uninstall entry in place ($((size)) KB)"

# 2. The installed program starts and shows its icon in the notification area.
"$WINE" "$WIN_DIR\\corvella.exe" >"$ART/installed.log" 2>&1 &
FIRST=$!
"$WINE" "$PROBE" wait-title Corvella 60 || fail "the installed program did not start"
sleep 2
screenshot "$ART/installer-tray.png"
# The taskbar is one flat colour without an icon; the icon brings colours of its own.
colours=$(convert "$ART/installer-tray.png" -crop 16x16+780+582 -format %k info:)
[ "$colours" -ge 3 ] || fail "no icon in the notification area ($colours colours there)"
[ "$(reg_value "$RUN" corv)" == "\"$WIN_DIR\\corvella.exe\"" ] || fail "the first start did not write the autostart entry"
echo "installed corvella.exe runs and shows its icon"

# 3. Installing over the running program replaces it.
touch -d 2001-01-01 "$DIR/corvella.exe"
"$WINE" "$SETUP" /S /RUN
rc=$?
[ "$rc" -eq 0 ] || fail "install over the running program exited with $rc"
wait_until 20 eval '! kill -0 "$FIRST" 2>/dev/null' || fail "the running program was not closed"
wait "$FIRST"
rc=$?
FIRST=""
[ "$rc" -eq 0 ] || fail "the replaced program exited with $rc"
[ "$(reg_value "$SETTINGS" version)" == "freeware" ] || fail "the replaced program was not closed through its window"
[ "$(stat -c %Y "$DIR/corvella.exe")" -gt "$(date -d 2001-01-02 +%s)" ] || fail "corvella.exe was not replaced"
"$WINE" "$PROBE" wait-title Corvella 60 || fail "the new program was not started"
echo "install over the running program: closed with exit code 0, replaced, started again"

# The program writes the path it was started by, which may be in other letters' case or a short
# (8.3) path: the uninstaller still takes it for this installation's. (Every part of the default
# path is a valid short name already, so here only the case differs.)
"$WINE" reg add "$RUN" /v corv /d "\"$(tr 'a-z' 'A-Z' <<<"$WIN_DIR")\\CORVELLA.EXE\"" /f >/dev/null 2>&1
[ "$(reg_value "$RUN" corv)" == "\"$(tr 'a-z' 'A-Z' <<<"$WIN_DIR")\\CORVELLA.EXE\"" ] || fail "could not write the autostart entry in capitals"

# 4. Silent uninstall; the uninstaller runs from a copy of itself and returns at once.
"$WINE" "$DIR/uninstall.exe" /S
wait_until 60 gone "$DIR" || fail "the installation folder is still there: $(ls "$DIR" 2>/dev/null | tr '\n' ' ')"
wait_until 10 window_gone || fail "the program still runs after uninstall"
gone "$LINK" || fail "the Start-menu shortcut is still there"
"$WINE" reg query "$UNINSTALL" >/dev/null 2>&1 && fail "the Uninstall entry is still there"
"$WINE" reg query "$RUN" /v corv >/dev/null 2>&1 && fail "the autostart entry is still there"
[ "$(reg_value "$SETTINGS" Prx)" == "127.0.0.1" ] || fail "the settings were not kept"
[ "$(reg_value "$SETTINGS" version)" == "freeware" ] || fail "the first-run marker was not kept"
echo "silent uninstall: program closed, files, shortcut, Uninstall and autostart entries gone, settings kept"

stop_display
echo "PASS ($(( $(date +%s) - started ))s)"
