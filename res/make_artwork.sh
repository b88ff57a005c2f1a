#!/bin/sh
# Draws the program's background picture and icons with ImageMagick (6 or 7):
#   selvo.bmp       640 x 498, 8 bits per pixel, at most 194 palette colours
#   selvo_file.ico  32 x 32, 16 colours  (icon group 1: the program file)
#   selvo_class.ico 32 x 32, 16 colours  (icon group 2: the window class)
#   selvo_small.ico 48 x 48, 256 colours (icon group 3: the small class icon)
# Needs python3 for the palette step. Run from anywhere: ./res/make_artwork.sh. Nothing random is drawn, so the
# same ImageMagick gives the same files.
set -eu
cd "$(dirname "$0")"
if command -v magick >/dev/null 2>&1; then IM=magick; else IM=convert; fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- Background picture ---------------------------------------------------
# A pale ceiling at the top, where the status lines are drawn in black and
# red, a truss with five lamps below it, their beams crossing a dark stage, and
# the lighting desk in front.

$IM -size 640x104 xc:'#F1F5F7' \
    -size 640x120 gradient:'#F1F5F7-#1a2140' \
    -size 640x274 gradient:'#1a2140-#05060c' \
    -append "$tmp/base.png"

# Beams: lamp x, floor x, colour.
beams="96:140:#ff3048 208:330:#ffb020 320:230:#3070ff 432:430:#20e070 544:530:#e040ff"
draw=""
pools=""
for b in $beams; do
    lx=${b%%:*}; rest=${b#*:}; fx=${rest%%:*}; col=${rest#*:}
    draw="$draw -fill '$col' -draw \"polygon $((lx-7)),150 $((lx+7)),150 $((fx+58)),392 $((fx-58)),392\""
    pools="$pools -fill '$col' -draw \"ellipse $fx,394 52,12 0,360\""
done
eval "$IM -size 640x498 xc:black $draw -blur 0x5 \"$tmp/beams0.png\""
# Brighter near the lamps, fading towards the floor.
$IM -size 640x498 gradient:'#d8d8d8-#505050' "$tmp/fade.png"
$IM "$tmp/beams0.png" "$tmp/fade.png" -compose multiply -composite "$tmp/beams.png"
eval "$IM -size 640x498 xc:black $pools -blur 0x9 \"$tmp/pools.png\""

# Truss: two chords with a zigzag lattice, and the lamps hanging from it.
lattice=""
x=0
while [ $x -lt 640 ]; do
    lattice="$lattice $x,110 $((x+12)),124 $((x+24)),110"
    x=$((x+24))
done
lamps=""
for b in $beams; do
    lx=${b%%:*}; col=${b##*:}
    lamps="$lamps -fill '#3a4150' -stroke '#9aa3b5' -draw \"rectangle $((lx-3)),124 $((lx+3)),130\""
    lamps="$lamps -fill '#1e222b' -stroke '#707a8c' -draw \"roundrectangle $((lx-11)),129 $((lx+11)),149 4,4\""
    lamps="$lamps -stroke none -fill '$col' -draw \"ellipse $lx,149 8,3 0,360\""
done
eval "$IM \"$tmp/base.png\" \"$tmp/beams.png\" -compose screen -composite \
    \"$tmp/pools.png\" -compose screen -composite \
    -fill none -stroke '#8a93a6' -strokewidth 2 \
    -draw \"line 0,110 640,110\" -draw \"line 0,124 640,124\" \
    -strokewidth 1 -draw \"polyline $lattice\" \
    $lamps \"$tmp/stage.png\""

# The lighting desk: a dark console with a display, two rows of keys and a
# bank of faders.
desk="-stroke '#5a6070' -fill '#262a33' -draw \"polygon 110,418 530,418 586,498 54,498\""
desk="$desk -stroke '#3a3f4a' -fill '#30343e' -draw \"polygon 124,424 516,424 538,452 102,452\""
desk="$desk -stroke '#1a5a30' -fill '#40d070' -draw \"rectangle 140,429 214,446\""
desk="$desk -stroke none -fill '#143820' -draw \"rectangle 146,434 206,436\" -draw \"rectangle 146,440 190,442\""
k=0
while [ $k -lt 12 ]; do
    kx=$((236 + k * 22))
    case $((k % 4)) in 0) kc='#ff5060';; 1) kc='#ffc040';; 2) kc='#50a0ff';; *) kc='#60e090';; esac
    desk="$desk -stroke '#15171c' -fill '#4a4f5c' -draw \"rectangle $kx,430 $((kx+14)),438\""
    desk="$desk -stroke none -fill '$kc' -draw \"rectangle $((kx+4)),441 $((kx+10)),444\""
    k=$((k+1))
done
f=0
while [ $f -lt 16 ]; do
    fx=$((100 + f * 28))
    fy=$((470 - (f * 37 % 5) * 4))
    desk="$desk -stroke none -fill '#0c0d10' -draw \"rectangle $((fx+6)),460 $((fx+9)),492\""
    desk="$desk -stroke '#101114' -fill '#c8ccd6' -draw \"rectangle $fx,$fy $((fx+15)),$((fy+6))\""
    f=$((f+1))
done
eval "$IM \"$tmp/stage.png\" $desk \"$tmp/picture.png\""

$IM "$tmp/picture.png" -dither FloydSteinberg -colors 190 -type Palette \
    -compress none BMP3:selvo.bmp
python3 compact_palette.py selvo.bmp

# --- Icons ------------------------------------------------------------------
# The sixteen colours of the classic Windows palette, for the 16-colour icons.
$IM xc:'#000000' xc:'#800000' xc:'#008000' xc:'#808000' xc:'#000080' xc:'#800080' \
    xc:'#008080' xc:'#c0c0c0' xc:'#808080' xc:'#ff0000' xc:'#00ff00' xc:'#ffff00' \
    xc:'#0000ff' xc:'#ff00ff' xc:'#00ffff' xc:'#ffffff' +append "$tmp/vga16.png"

# A spotlight on a yoke throwing a yellow beam, drawn at 128 x 128.
spot() {
    $IM -size 128x128 xc:'#000080' \
        -fill '#ffff00' -stroke none -draw "polygon 58,52 80,66 128,128 52,128" \
        -fill '#ffffff' -draw "polygon 64,58 76,66 110,128 76,128" \
        -fill '#808080' -stroke '#c0c0c0' -strokewidth 4 -draw "line 8,10 120,10" \
        -fill none -stroke '#c0c0c0' -strokewidth 6 -draw "line 40,10 40,40" \
        -fill '#c0c0c0' -stroke '#000000' -strokewidth 3 \
        -draw "polygon 20,30 62,50 78,64 60,74 14,52" \
        -fill '#ffff00' -draw "ellipse 70,68 8,13 0,360" \
        "$1"
}

# The lighting desk with red, yellow and green faders and a beam above it.
desk_icon() {
    $IM -size 128x128 xc:'#000080' \
        -fill '#00ffff' -stroke none -draw "polygon 56,0 72,0 104,64 24,64" \
        -fill '#808080' -stroke '#c0c0c0' -strokewidth 4 -draw "polygon 18,56 110,56 124,124 4,124" \
        -fill '#00ff00' -stroke '#000000' -strokewidth 2 -draw "rectangle 26,64 58,78" \
        -fill '#000000' -stroke none \
        -draw "rectangle 30,88 34,118" -draw "rectangle 52,88 56,118" \
        -draw "rectangle 74,88 78,118" -draw "rectangle 96,88 100,118" \
        -stroke '#000000' -strokewidth 2 \
        -fill '#ff0000' -draw "rectangle 24,96 40,104" \
        -fill '#ffff00' -draw "rectangle 46,106 62,114" \
        -fill '#00ff00' -draw "rectangle 68,92 84,100" \
        -fill '#ffffff' -draw "rectangle 90,100 106,108" \
        -fill '#ff0000' -draw "rectangle 70,66 80,74" -fill '#ffff00' -draw "rectangle 86,66 96,74" \
        "$1"
}

desk_icon "$tmp/desk128.png"
spot "$tmp/spot128.png"
$IM "$tmp/desk128.png" -resize 32x32 +dither -remap "$tmp/vga16.png" -type Palette \
    -alpha off -colors 16 selvo_file.ico
$IM "$tmp/spot128.png" -resize 32x32 +dither -remap "$tmp/vga16.png" -type Palette \
    -alpha off -colors 16 selvo_class.ico
$IM "$tmp/spot128.png" -resize 48x48 -dither FloydSteinberg -colors 250 -type Palette \
    -alpha off selvo_small.ico
