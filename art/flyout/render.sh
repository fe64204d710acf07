#!/usr/bin/env bash
# Renders the forecast window's sky pictures into data/flyout/: one strip a size, the six skies
# side by side in the order Ясно, Облачно, Пасмурно, Дождь, Снег, Гроза. The sizes are those the
# window draws at 100, 125, 150 and 200 %: 16/20/24/32 for the hours, 24/30/36/48 for the days,
# 48/60/72/96 for now. The pictures are the tray's sun and cloud (art/tray/weather.svg).
# Needs rsvg-convert (librsvg2-bin) and ImageMagick. Run from anywhere; outputs are committed.
set -euo pipefail
ART=$(cd "$(dirname "$0")" && pwd)
OUT="$ART/../../data/flyout"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT"
for size in 16 20 24 30 32 36 48 60 72 96; do
  pngs=()
  for sky in clear cloudy overcast rain snow storm; do
    rsvg-convert -w "$size" -h "$size" "$ART/$sky.svg" -o "$TMP/$sky-$size.png"
    pngs+=("$TMP/$sky-$size.png")
  done
  convert "${pngs[@]}" -background none +append -strip "PNG32:$OUT/sky-$size.png"
done
echo "rendered: $OUT/sky-*.png"
