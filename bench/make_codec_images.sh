#!/usr/bin/env bash
# Pictures for bench/CodecBench.cpp and bench/pillow_codecs.py: one
# 6000 x 4000 photograph-like picture (ImageMagick plasma) as JPEG quality 92,
# PNG (zlib level 6) and 24-bpp BMP, in $1 (default /tmp/pixmend-bench).
set -euo pipefail
dir=${1:-/tmp/pixmend-bench}
mkdir -p "$dir"
convert -size 6000x4000 -seed 42 plasma:fractal -blur 0x2 -depth 8 "$dir/big.ppm"
convert "$dir/big.ppm" -quality 92 "$dir/big.jpg"
convert "$dir/big.ppm" -define png:compression-level=6 PNG24:"$dir/big.png"
convert "$dir/big.ppm" -type truecolor BMP3:"$dir/big.bmp"
rm -f "$dir/big.ppm"
ls -l "$dir"
