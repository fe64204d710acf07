#!/usr/bin/env bash
# The widget's committed backgrounds: every rendering exists at its size, is 8-bit RGBA,
# is nowhere more opaque than 230 of 255, fades out to nothing at its border, and has a
# body that is nearly as opaque as allowed (a picture, not a ghost of one). The forecast
# window's sky pictures too.
# Usage: widget_art.sh SOURCE_DIR
set -uo pipefail
DIR="$1/data/widget"
status=0
check() {  # file width height
  local f="$DIR/$1" w=$2 h=$3
  if [ ! -f "$f" ]; then echo "FAIL: $1 is missing"; status=1; return; fi
  local info
  info=$(identify -format '%w %h %[channels] %z' "$f")
  read -r fw fh channels depth <<<"$info"
  [ "$fw $fh" == "$w $h" ] || { echo "FAIL: $1 is ${fw}x${fh}, not ${w}x${h}"; status=1; }
  [ "$depth" == 8 ] || { echo "FAIL: $1 has $depth bits per channel"; status=1; }
  [[ "$channels" == srgba* || "$channels" == rgba* ]] || { echo "FAIL: $1 has channels $channels"; status=1; }
  # The PNG itself must carry colour type 6 (RGBA), not a palette.
  local type
  type=$(od -An -tu1 -j25 -N1 "$f" | tr -d ' ')
  [ "$type" == 6 ] || { echo "FAIL: $1 has PNG colour type $type"; status=1; }
  local max border
  max=$(convert "$f" -alpha extract -format '%[fx:int(maxima*255+0.5)]' info:)
  [ "$max" -le 230 ] || { echo "FAIL: $1 reaches opacity $max"; status=1; }
  [ "$max" -ge 220 ] || { echo "FAIL: $1 is at most $max opaque: too faint"; status=1; }
  border=$(convert "$f" -alpha extract -fill black -draw "rectangle 1,1 $((w - 2)),$((h - 2))" \
           -format '%[fx:int(maxima*255+0.5)]' info:)
  [ "$border" -eq 0 ] || { echo "FAIL: $1 has opacity $border on its outermost pixels"; status=1; }
}
for dpi in 96 120 144 192; do
  suffix=""
  [ "$dpi" -eq 96 ] || suffix="-$dpi"
  square=$(( (156 * dpi + 48) / 96 ))
  wide=$(( (170 * dpi + 48) / 96 ))
  check "png0$suffix.png" "$square" "$square"
  check "png1$suffix.png" "$square" "$square"
  check "png2$suffix.png" "$wide" "$square"
  check "png3$suffix.png" "$wide" "$square"
done
# The forecast window's sky strips: six square RGBA pictures side by side, each with something
# opaque in it (a sky drawn, not an empty cell) and a clear corner.
for size in 16 20 24 30 32 36 48 60 72 96; do
  f="$1/data/flyout/sky-$size.png"
  [ -f "$f" ] || { echo "FAIL: sky-$size.png is missing"; status=1; continue; }
  [ "$(identify -format '%w %h %[channels]' "$f" | cut -d' ' -f1-2)" == "$((6 * size)) $size" ] ||
    { echo "FAIL: sky-$size.png is not six pictures of $size"; status=1; }
  for k in 0 1 2 3 4 5; do
    cell=$(convert "$f" -crop "${size}x${size}+$((k * size))+0" +repage -alpha extract \
           -format '%[fx:int(maxima*255+0.5)] %[fx:int(p{0,0}*255+0.5)]' info:)
    [ "${cell% *}" -ge 250 ] && [ "${cell#* }" -eq 0 ] || { echo "FAIL: sky-$size.png picture $k ($cell)"; status=1; }
  done
done
[ "$status" -eq 0 ] && echo "PASS: 16 widget pictures, 10 strips of sky pictures"
exit "$status"
