#!/usr/bin/env bash
# Renders the maker's mark for the dialog's header at 96, 144 and 192 DPI, flattened on
# the header's white, as the 24-bit bitmaps the resource script embeds.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
OUT="$HERE/../../data"
for size in 98x84:96 147x126:144 196x168:192; do
  dims=${size%%:*}
  dpi=${size##*:}
  rsvg-convert -w "${dims%x*}" -h "${dims#*x}" "$HERE/logo.svg" -o "/tmp/corvella-logo-$dpi.png"
  convert "/tmp/corvella-logo-$dpi.png" -background white -alpha remove -alpha off -type TrueColor \
    "BMP3:$OUT/logo-$dpi.bmp"
  rm -f "/tmp/corvella-logo-$dpi.png"
done
echo "rendered: $OUT/logo-96.bmp logo-144.bmp logo-192.bmp"
