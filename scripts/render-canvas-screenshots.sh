#!/usr/bin/env bash
# Renders the canvas panel in a window under Xvfb (through wine64) in four
# states and writes PNG screenshots into docs/:
#   canvas-empty.png           no picture: the tile washed white, no frame
#   canvas-fitted.png          a 1600 x 1000 picture fitted, 300 x 200 frame
#   canvas-zoomed-dragged.png  three zoom steps in, then dragged up and left
#   canvas-busy.png            the busy circle at "42%"
# Usage: scripts/render-canvas-screenshots.sh [build-dir] [np|ax]
# The build directory (default build/win64) must be configured with the
# win64 preset; the tool is built there first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
flavour=${2:-np}
if [[ ! -f $build/build.ninja ]]; then
    cmake --preset win64 -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target "canvas_tool_$flavour"
export PIXMEND_WINEPREFIX=${PIXMEND_WINEPREFIX:-$PWD/$build/wineprefix}
# The tool writes through Windows paths: Wine maps Z: to the root.
out="Z:$PWD/docs"
scripts/wine-run.sh "$build/tools/canvas/canvas_tool_$flavour.exe" shots "${out//\//\\}"
ls -l docs/canvas-*.png
