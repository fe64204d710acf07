# Sourced by the Wine end-to-end scripts once BUILD_DIR is set (and E2E_ART_DIR, when a
# script keeps its screenshots and logs elsewhere): the Wine environment and display helpers,
# the program, the probe, the folder for screenshots and logs, and the settings key.
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$E2E_DIR/../../tools/wine/wine-env.sh"
. "$E2E_DIR/../../tools/wine/display.sh"
EXE="$BUILD_DIR/corvella.exe"
PROBE="$BUILD_DIR/corvella-probe.exe"
ART=${E2E_ART_DIR:-$BUILD_DIR/artifacts}
mkdir -p "$ART"
KEY='HKCU\Software\Velmar\corv'
