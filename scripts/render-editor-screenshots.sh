#!/usr/bin/env bash
# Renders the editor under Xvfb (through wine64) in five states and writes
# PNG screenshots into docs/:
#   editor-empty.png           no picture yet
#   editor-fitted.png          a 1600 x 1000 picture fitted, 300 x 200 frame
#   editor-zoomed-dragged.png  three zoom steps in, then dragged up and left
#   editor-busy.png            the busy display at "42%", buttons disabled
#   editor-failed.png          after an upload that failed (nothing listens
#                              on port 1 of the loopback address)
# Usage: scripts/render-editor-screenshots.sh [np|ax]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/pxdemo-env.sh "${1:-np}"
sample=$work/sample.jpg
scripts/wine-run.sh "$demo" --make-sample "$(winpath "$sample")"
scripts/wine-run.sh "$demo" --shots "$(winpath "$PWD/docs")" --url http://127.0.0.1:1/upload \
    --width 300 --height 200 "$(winpath "$sample")"
ls -l docs/editor-*.png
