#!/usr/bin/env bash
# Renders the widget's four backgrounds from the SVG files beside this script into data/widget/:
# png<N>.png at 96 DPI (the widget's own size) and png<N>-<DPI>.png for larger monitors.
# Every picture is 8-bit RGBA and nowhere more opaque than 230 of 255.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
OUT="$HERE/../../data/widget"
mkdir -p "$OUT"
for svg in "$HERE"/png[0-3]-*.svg; do
  name=$(basename "$svg")
  n=${name:3:1}
  read -r w h < <(sed -n 's/.*<svg[^>]* width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' "$svg")
  for dpi in 96 120 144 192; do
    # The same rounding as the program's: a 96-DPI figure times dpi / 96, to the nearest pixel.
    sw=$(( (w * dpi + 48) / 96 ))
    sh=$(( (h * dpi + 48) / 96 ))
    out="$OUT/png$n.png"
    [ "$dpi" -eq 96 ] || out="$OUT/png$n-$dpi.png"
    rsvg-convert -w "$sw" -h "$sh" "$svg" |
      convert - -background none -extent "${sw}x${sh}" -channel A -fx 'min(u, 230/255)' +channel \
        -define png:color-type=6 -depth 8 -strip "PNG32:$out"
  done
done
echo "rendered into $OUT"
