#!/usr/bin/env bash
# Draws the program's icon at the four sizes the window system asks for.
# Run by hand after changing the artwork; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/../resources"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert -size 512x512 xc:none \
    \( -size 512x512 gradient:'#4899d5-#1d4f7a' \) \
    \( -size 512x512 xc:none -fill white -draw 'roundrectangle 16,16 495,495 96,96' \) \
    -delete 0 -compose DstIn -composite \
    -fill none -stroke '#b6d0e0' -strokewidth 14 -draw 'roundrectangle 24,24 487,487 88,88' \
    -stroke none -fill white -font "$font" -pointsize 380 -gravity center -annotate +0+10 '♪' \
    -fill '#ffd45a' -draw 'polygon 330,330 470,330 400,440' \
    icon-master.png
for s in 16 32 48 128; do
    convert icon-master.png -filter Lanczos -resize ${s}x${s} -depth 8 -define png:color-type=6 icon-$s.png
done
rm icon-master.png
