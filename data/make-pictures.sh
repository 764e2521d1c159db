#!/bin/sh
# SPDX-License-Identifier: MIT
# Remakes the calculator's pictures with ImageMagick (convert) and the DejaVu fonts:
#   DovezuVevuDuze100v49.png  the maker's logo, 100 x 49, shown bottom right of the window
#   ZuveduDereduRARuruDezov.png  the product banner, 600 x 50, shown along the bottom
#   the same two at twice the size, named ...@2x.png, for HiDPI screens and large text
#   org.example.ZoriviVudiDider.png  the desktop icon, 128 x 128
#   icons/org.example.ZoriviVudiDider-N.png  the icon at 16, 24, 32, 48, 64 and 256 px
# The pictures are opaque and framed by their gadgets, so they use the window's background
# colour (APP_BACKGROUND_* in app/main_window.h) for light details, darker teal shades of it
# and an orange accent.
# Output is byte-for-byte reproducible (no time chunks), so a rerun leaves git clean.
# Usage: data/make-pictures.sh [output-dir]   (default: the directory of this script)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here}
mkdir -p "$out"
constants=$("$here/../scripts/window-constants")
eval "$constants"

bold=DejaVu-Sans-Bold
book=DejaVu-Sans
deep='#17444b'
mid='#2c7378'
light="#$app_background"
accent='#e8833a'

# Deterministic PNG: no creation/modification dates, no tIME chunk.
png_opts="-strip -define png:exclude-chunks=date,time +set date:create +set date:modify"

# A small wall-calendar page: white sheet, orange header with two rings, a grid of days,
# one day marked. $1 = left x, $2 = top y, $3 = cell size (page is 7 cells wide).
calendar_page() {
  x=$1 y=$2 c=$3
  w=$((c * 7 + 4)) h=$((c * 6 + 4))
  hx2=$((x + w)) hy2=$((y + c + 2))
  printf ' -fill white -stroke none -draw "roundrectangle %d,%d %d,%d 2,2"' "$x" "$y" "$hx2" "$((y + h))"
  printf ' -fill "%s" -draw "roundrectangle %d,%d %d,%d 2,2"' "$accent" "$x" "$y" "$hx2" "$hy2"
  rw=$((c / 6 + 1)) rh=$((c / 3 + 1))
  printf ' -fill "%s" -draw "rectangle %d,%d %d,%d"' "$deep" \
    "$((x + c + 1))" "$((y - rh))" "$((x + c + 1 + rw))" "$((y + rh))"
  printf ' -fill "%s" -draw "rectangle %d,%d %d,%d"' "$deep" \
    "$((x + w - c - 1 - rw))" "$((y - rh))" "$((x + w - c - 1))" "$((y + rh))"
  row=0
  while [ $row -lt 4 ]; do
    col=0
    while [ $col -lt 7 ]; do
      cx=$((x + 2 + col * c + c / 2))
      cy=$((y + c + 4 + row * c + c / 2))
      if [ $row -eq 2 ] && [ $col -eq 4 ]; then
        printf ' -fill "%s" -draw "rectangle %d,%d %d,%d"' "$accent" \
          "$((cx - c / 2 + 1))" "$((cy - c / 2 + 1))" "$((cx + c / 2 - 1))" "$((cy + c / 2 - 1))"
      else
        printf ' -fill "%s" -draw "rectangle %d,%d %d,%d"' "$mid" \
          "$((cx - 1 - c / 5))" "$((cy - 1 - c / 5))" "$((cx + c / 5))" "$((cy + c / 5))"
      fi
      col=$((col + 1))
    done
    row=$((row + 1))
  done
}

# The logo and the banner are drawn at scale 1 and 2 (name@2x.png, for HiDPI screens): the
# same drawing, its coordinates and text multiplied by the scale.
for scale in 1 2; do
suffix=$([ $scale = 1 ] || echo "@${scale}x")
affine="-affine $scale,0,0,$scale,0,0"  # for -draw; -annotate takes scaled sizes and places
at() { echo "+$(($1 * scale))+$(($2 * scale))"; }

# Logo, 100 x 49: a teal tile with the maker's calendar mark and the name "Zephra".
eval convert -size $((100 * scale))x$((49 * scale)) "gradient:'$mid'-'$deep'" $affine \
  "$(calendar_page 5 11 4)" \
  -font "$bold" -pointsize $((14 * scale)) -fill white -stroke none -annotate $(at 41 26) "'Zephra'" \
  $affine -fill "'$accent'" -draw "'rectangle 41,30 94,31'" \
  -font "$book" -pointsize $((7 * scale)) -fill "'$light'" -annotate $(at 41 40) "'CORPORATION'" \
  $png_opts "PNG24:'$out/DovezuVevuDuze100v49$suffix.png'"

# Banner, 600 x 50: the product name beside a calendar page, a tag line, and a band of
# day squares that fades out towards the right edge.
band=""
i=0
while [ $i -lt 14 ]; do
  bx=$((452 + i * 10))
  shade=$((60 - i * 3))
  band="$band -fill 'rgba($app_background_rgb,0.$(printf %02d $shade))' -draw 'rectangle $bx,17 $((bx + 6)),23'"
  band="$band -fill 'rgba($app_background_rgb,0.$(printf %02d $((shade / 2))))' -draw 'rectangle $bx,27 $((bx + 6)),33'"
  i=$((i + 1))
done
eval convert -size $((50 * scale))x$((600 * scale)) "gradient:'$deep'-'$mid'" -rotate 90 \
  $affine "$(calendar_page 14 11 4)" \
  -font "$bold" -pointsize $((22 * scale)) -fill white -stroke none -annotate $(at 58 33) "'ZoriviVudiDider'" \
  $affine -fill "'$accent'" -draw "'rectangle 58,38 254,39'" \
  -font "$book" -pointsize $((11 * scale)) -fill "'$light'" -annotate $(at 270 24) "'count days forward and back'" \
  -annotate $(at 270 38) "'1970-01-01 to 2038-01-19'" \
  $affine $band \
  $png_opts "PNG24:'$out/ZuveduDereduRARuruDezov$suffix.png'"
done

# Icon, 128 x 128: the calendar page large on a rounded teal tile, transparent corners.
eval convert -size 128x128 xc:none \
  -fill "'$deep'" -draw "'roundrectangle 4,4 123,123 22,22'" \
  -fill "'$mid'" -draw "'roundrectangle 4,4 123,100 22,22'" \
  "$(calendar_page 22 26 12)" \
  $png_opts "PNG32:'$out/org.example.ZoriviVudiDider.png'"

# The icon at the icon theme's other sizes: drawn again at 256 x 256 (every coordinate
# doubled), and scaled down from that for 16 to 64; 128 is the icon above.
mkdir -p "$out/icons"
eval convert -size 256x256 xc:none \
  -fill "'$deep'" -draw "'roundrectangle 8,8 247,247 44,44'" \
  -fill "'$mid'" -draw "'roundrectangle 8,8 247,200 44,44'" \
  "$(calendar_page 44 52 24)" \
  $png_opts "PNG32:'$out/icons/org.example.ZoriviVudiDider-256.png'"
for size in 16 24 32 48 64; do
  convert "$out/icons/org.example.ZoriviVudiDider-256.png" -filter Lanczos -resize ${size}x$size \
    $png_opts "PNG32:$out/icons/org.example.ZoriviVudiDider-$size.png"
done
