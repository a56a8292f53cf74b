#!/usr/bin/env bash
# Renders the skin pictures in resources/skin/ from the editable sources in
# resources/skin-src/. The PNGs are committed, so a build needs none of the
# tools used here: rsvg-convert (librsvg2-bin), convert (imagemagick) and the
# Noto Sans CJK fonts (fonts-noto-cjk) for the Chinese labels.
#
# Every picture comes out 8 bits per channel with the PNG colour type the
# resource tables expect: 6 (RGBA) or 2 (RGB, composed over an opaque band
# colour). Metadata is stripped so that renders are reproducible.
#   scripts/render-skin.sh            render every picture
#   scripts/render-skin.sh --sheet    also rebuild docs/skin-contact-sheet.png
set -euo pipefail
cd "$(dirname "$0")/.."
src=resources/skin-src
out=resources/skin
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

# Band colour behind opaque (RGB) pictures: the toolbar band's middle tone and
# the bottom bar's fill, so the square corners blend into their surroundings.
TOOLBAR_BAND='#F2F5FC'
BOTTOM_BAR='#ECF0F9'

# png <svg> <name> <rgb|rgba>: rasterise and fix the PNG colour type
# (PNG32: 8-bit RGBA, colour type 6; PNG24: 8-bit RGB, colour type 2).
png() {
  local svg=$1 name=$2 kind=$3
  rsvg-convert --format=png --output="$tmp/raw.png" "$svg"
  if [ "$kind" = rgb ]; then
    convert "$tmp/raw.png" -background "$BOTTOM_BAR" -alpha remove -alpha off \
            -strip "PNG24:$out/$name.png"
  else
    convert "$tmp/raw.png" -strip "PNG32:$out/$name.png"
  fi
}

# fill <template> <output.svg> KEY=VALUE...: replaces each @KEY@.
fill() {
  local template=$1 target=$2; shift 2
  local args=() pair
  for pair in "$@"; do
    args+=(-e "s|@${pair%%=*}@|${pair#*=}|g")
  done
  sed "${args[@]}" "$template" > "$target"
}

# toolbar <name> <glyph> <label> <state> <height> <rgb|rgba>
toolbar() {
  local name=$1 glyph=$2 label=$3 state=$4 height=$5 kind=$6
  local band=none tile=none edge=none ink='#3D5A85' label_ink='#4A5A73' dy=0
  case $state in
    hover) tile='#FFFFFF'; edge='#9ABBE5'; ink='#2F74E0'; label_ink='#2F74E0' ;;
    down)  tile='#DCE7F8'; edge='#7FA6DA'; ink='#1F5BB8'; label_ink='#1F5BB8'; dy=1 ;;
  esac
  [ "$kind" = rgb ] && band=$TOOLBAR_BAND
  fill "$src/toolbar-button.svg.in" "$tmp/$name.svg" \
       "H=$height" "BAND=$band" "TILE=$tile" "TILESTROKE=$edge" "INK=$ink" \
       "LABELINK=$label_ink" "DY=$dy" "LABEL=$label" \
       "GLYPH=$(tr '\n' ' ' < "$src/glyphs/$glyph.svg")"
  png "$tmp/$name.svg" "$name" "$kind"
}

# dialog <name> <label> <face> <edge> <ink> <weight> <rgb|rgba>
dialog() {
  local name=$1 label=$2 face=$3 edge=$4 ink=$5 weight=$6 kind=$7 band=none
  [ "$kind" = rgb ] && band=$BOTTOM_BAR
  fill "$src/dialog-button.svg.in" "$tmp/$name.svg" "BAND=$band" "FACE=$face" \
       "EDGE=$edge" "INK=$ink" "WEIGHT=$weight" "LABEL=$label"
  png "$tmp/$name.svg" "$name" "$kind"
}

# Toolbar: one glyph and label per command, three states each. The two
# 47 x 51 hover pictures are opaque by design of the resource table.
toolbar btnOpen           open         打开 normal 50 rgba
toolbar btnOpenHover      open         打开 hover  51 rgb
toolbar btnOpenDown       open         打开 down   50 rgba
toolbar btnMax            zoom-in      放大 normal 50 rgba
toolbar btnMaxHover       zoom-in      放大 hover  51 rgb
toolbar btnMaxDown        zoom-in      放大 down   50 rgba
toolbar btnMin            zoom-out     缩小 normal 50 rgba
toolbar btnMinHover       zoom-out     缩小 hover  50 rgba
toolbar btnMinDown        zoom-out     缩小 down   50 rgba
toolbar btnRotationL      rotate-left  左转 normal 50 rgba
toolbar btnRotationLHover rotate-left  左转 hover  50 rgba
toolbar btnRotationLDown  rotate-left  左转 down   50 rgba
toolbar btnRotationR      rotate-right 右转 normal 50 rgba
toolbar btnRotationRHover rotate-right 右转 hover  50 rgba
toolbar btnRotationRDown  rotate-right 右转 down   50 rgba
toolbar btnReset          reset        重置 normal 50 rgba
toolbar btnResetHover     reset        重置 hover  50 rgba
toolbar btnResetDown      reset        重置 down   50 rgba

# Bottom bar: OK is the primary action, Cancel the quiet one.
dialog btnOk          确定 '#2F74E0' '#2A67C8' '#FFFFFF' bold   rgba
dialog btnOkHover     确定 '#2563C9' '#1F56B0' '#FFFFFF' bold   rgb
dialog btnCancel      取消 '#FFFFFF' '#9ABBE5' '#3B4A63' normal rgba
dialog btnCancelHover 取消 '#F4F8FE' '#5E8FD6' '#2F74E0' normal rgb

png "$src/toolbar-band.svg" top-bk rgba
png "$src/canvas-tile.svg" CANVAS_BK rgb
png "$src/badge.svg" badge rgba

# preview <file>: the pictures composed as the editor lays them out in a
# 420 x 220 window (toolbar band, canvas tiles, bottom bar; hover and pressed
# states shown on two of the buttons).
preview() {
  local w=420 h=220 file=$1
  convert -size ${w}x${h} xc:white -fill none -stroke '#9ABBE5' \
          -draw "rectangle 0,0 $((w-1)),$((h-1))" -draw "rectangle 0,0 $((w-1)),59" \
          \( "$out/top-bk.png" -resize "$((w-4))x58!" \) -geometry +2+1 -composite \
          \( -size $((w-2))x$((h-100)) tile:"$out/CANVAS_BK.png" \) -geometry +1+60 -composite \
          -fill '#ECF0F9' -draw "rectangle 0,$((h-40)) $((w-1)),$((h-1))" \
          "$out/btnOpen.png" -geometry +2+2 -composite \
          "$out/btnMaxHover.png" -geometry +49+2 -composite \
          "$out/btnMinDown.png" -geometry +96+2 -composite \
          "$out/btnRotationL.png" -geometry +142+2 -composite \
          "$out/btnRotationR.png" -geometry +190+2 -composite \
          "$out/btnReset.png" -geometry +$((w-2-47))+2 -composite \
          "$out/btnOk.png" -geometry +70+$((h-8-22)) -composite \
          "$out/btnCancel.png" -geometry +167+$((h-8-22)) -composite \
          -filter point -resize 200% "$file"
}

if [ "${1:-}" = --sheet ]; then
  # Contact sheet: every picture enlarged (nearest neighbour) and labelled with
  # its resource name, the band stretched and the canvas tile repeated as they
  # are used, and below them the editor preview.
  mkdir -p docs
  tiles=()
  for f in "$out"/*.png; do
    n=$(basename "$f" .png)
    case $n in
      top-bk)    look=(-resize '47x58!' -filter point -resize 300%) ;;
      CANVAS_BK) look=(-write mpr:t +delete -size 48x48 tile:mpr:t -filter point -resize 300%) ;;
      *)         look=(-filter point -resize 300% -resize '200x170>') ;;
    esac
    convert "$f" "${look[@]}" -background '#E4E9F2' -gravity center \
            -extent 210x200 -gravity south -fill '#1E3A66' -font DejaVu-Sans \
            -pointsize 13 -annotate +0+4 "$n" "$tmp/sheet-$n.png"
    tiles+=("$tmp/sheet-$n.png")
  done
  montage "${tiles[@]}" -tile 6x -geometry +6+6 -background '#FFFFFF' "$tmp/grid.png"
  preview "$tmp/preview.png"
  convert "$tmp/grid.png" "$tmp/preview.png" -background '#FFFFFF' -gravity center \
          -append -strip docs/skin-contact-sheet.png
fi
echo "rendered $(ls "$out"/*.png | wc -l) pictures into $out"
