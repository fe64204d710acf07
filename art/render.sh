#!/usr/bin/env bash
# Renders the tray and menu artwork into data/: each .ico holds the 16x16 picture drawn
# pixel by pixel (art/tray/*-16.xpm) and the larger sizes rendered from the drawing
# (art/tray/*.svg). The waiting picture is the weather drawing with its colours in grey.
#   data/corvella.ico     the program's icon and tray entry 1: 16 20 24 28 32 36 40 48 256
#   data/tray/waiting.ico tray entry 0:                        16 20 24 28 32 36 40 48
#   data/tray/glyph.ico   the menu glyph:                      16 20 24 28 32 36 40 48
# 16 to 48 are the small-icon sizes at 100 to 300 % (in steps of 25 %), so the taskbar and
# the menu never stretch a picture at those scales.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick. Run from anywhere; outputs are committed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ART="$ROOT/art/tray"
OUT="$ROOT/data"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT/tray"

# Weather colour -> waiting grey, the same pairs as in waiting-16.xpm.
GREYS=(
  "#2E3A46:#3C3C3C" "#FFFFFF:#E6E6E6" "#E6EBF0:#C8C8C8" "#B4BEC8:#A0A0A0"
  "#E07800:#6E6E6E" "#FFC828:#9A9A9A"
)
sed_args=()
for pair in "${GREYS[@]}"; do sed_args+=(-e "s/${pair%%:*}/${pair##*:}/g"); done
sed "${sed_args[@]}" "$ART/weather.svg" >"$TMP/waiting.svg"
cp "$ART/weather.svg" "$ART/glyph.svg" "$TMP/"

# ico NAME OUTPUT SIZES...: 16 from the pixel grid, the rest from the drawing.
ico() {
  local name=$1 out=$2
  shift 2
  local pngs=()
  for size in "$@"; do
    if [ "$size" = 16 ]; then
      convert "$ART/$name-16.xpm" "PNG32:$TMP/$name-16.png"
    else
      rsvg-convert -w "$size" -h "$size" "$TMP/$name.svg" -o "$TMP/$name-$size.png"
    fi
    pngs+=("$TMP/$name-$size.png")
  done
  convert "${pngs[@]}" "$out"
}

ico weather "$OUT/corvella.ico" 16 20 24 28 32 36 40 48 256
ico waiting "$OUT/tray/waiting.ico" 16 20 24 28 32 36 40 48
ico glyph "$OUT/tray/glyph.ico" 16 20 24 28 32 36 40 48
echo "rendered: $OUT/corvella.ico $OUT/tray/waiting.ico $OUT/tray/glyph.ico"
