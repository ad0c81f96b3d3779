#!/usr/bin/env bash
# Draws the program icon "AAA" (a painted easter egg) with ImageMagick and writes
# resources/icons/AAA-{16,24,32,48,64,128,256}.png. Run by hand after changing the drawing.
set -euo pipefail
out="$(cd "$(dirname "$0")/../.." && pwd)/resources/icons"
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
# The egg: a vertical ellipse with a warm gradient, a blue zigzag band, dots and a highlight.
convert -size 256x256 xc:none -fill white -draw "ellipse 128,136 92,118 0,360" "$tmp/mask.png"
convert -size 256x256 radial-gradient:'#fff1b8'-'#d9541a' -gravity northwest -roll -30-40 "$tmp/fill.png"
convert "$tmp/fill.png" \
    -fill '#2c6fd6' -stroke '#1b4a9a' -strokewidth 3 \
    -draw "polygon 30,120 56,96 82,120 108,96 134,120 160,96 186,120 212,96 238,120 238,150 212,126 186,150 160,126 134,150 108,126 82,150 56,126 30,150" \
    -fill '#3fae49' -stroke none \
    -draw "circle 90,196 90,206" -draw "circle 128,206 128,216" -draw "circle 166,196 166,206" \
    -draw "circle 100,60 100,68" -draw "circle 156,60 156,68" \
    -fill '#ffffffb0' -draw "ellipse 92,72 18,30 0,360" \
    "$tmp/painted.png"
convert "$tmp/painted.png" "$tmp/mask.png" -alpha off -compose copy-opacity -composite \
    -fill none -stroke '#7a2e08' -strokewidth 6 -draw "ellipse 128,136 92,118 0,360" "$tmp/egg.png"
for s in 16 24 32 48 64 128 256; do
    convert "$tmp/egg.png" -filter Lanczos -resize ${s}x${s} -strip "$out/AAA-$s.png"
done
echo "icons written to $out"
