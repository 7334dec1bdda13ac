#!/usr/bin/env bash
# Makes a program's icons from its own 640 x 480 screenshot: the square that
# IconCrop in scenes/<program>/about.ini names, with rounded corners, as the
# desktop's PNG sizes and as one Windows .ico. scripts/screenshots.sh calls it
# for every program; the results are checked in.
# Usage: scripts/icons.sh <program> <screenshot.png>
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:?usage: $0 <program> <screenshot.png>}
shot=${2:?usage: $0 <program> <screenshot.png>}
about="scenes/$program/about.ini"
crop=$(sed -n 's/^IconCrop=//p' "$about")
[ -n "$crop" ] || { echo "$about has no IconCrop" >&2; exit 1; }

out="scenes/$program/icons"
mkdir -p "$out"
# Drawn once at the largest size; the smaller ones are scaled from it. A
# transparent margin and rounded corners, as icon themes draw them. No
# time stamps, so that remaking unchanged icons changes no file.
big=256
margin=8
radius=40
png=(-strip -define png:exclude-chunks=date,time,gAMA,cHRM)
convert "$shot" -crop "$crop" +repage -resize "$((big - 2 * margin))x$((big - 2 * margin))!" \
    -background none -gravity center -extent "${big}x${big}" \
    \( -size "${big}x${big}" xc:black -fill white \
       -draw "roundrectangle $margin,$margin $((big - 1 - margin)),$((big - 1 - margin)) $radius,$radius" \) \
    -alpha off -compose CopyOpacity -composite "${png[@]}" "PNG32:$out/$big.png"
for size in 128 48; do
    convert "$out/$big.png" -resize "${size}x${size}" "${png[@]}" "PNG32:$out/$size.png"
done
# Windows shows 16 and 32 pixels in lists and the task bar, 48 and 256 in
# the explorer.
convert "$out/$big.png" -define icon:auto-resize=256,48,32,16 "$out/program.ico"
echo "wrote $out"
