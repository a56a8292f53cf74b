#!/usr/bin/env bash
# Tries the whole product in one go: pxdemo (the editor in a window, set up
# the way a page sets it up) under Wine, uploading to the local receiver
# (tools/pxdemo/receiver.py), which prints the fields and saves the picture.
#
# With an X display the window opens for you: drag, zoom, turn, press OK,
# close the window when done. Without one it runs under Xvfb, presses OK by
# itself, saves a screenshot and exits with the upload's result.
#   scripts/demo.sh [np|ax]        (PIXMEND_DEMO_ARGS adds pxdemo options)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/pxdemo-env.sh "${1:-np}"

scripts/wine-run.sh "$demo" --make-sample "$(winpath "$work/sample.jpg")"
rm -f "$work/port"
python3 tools/pxdemo/receiver.py --folder "$work/received" --port-file "$work/port" &
receiver=$!
trap 'kill $receiver 2>/dev/null || true' EXIT
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
port=$(cat "$work/port")

args=(--url "http://127.0.0.1:$port/upload" --width 300 --height 200 --argument '{"user":"demo"}'
      user=demo album=7 ${PIXMEND_DEMO_ARGS:-})
if [[ -n ${DISPLAY:-} ]]; then
    echo "pxdemo: the editor is open on $DISPLAY; press OK to upload, close the window to end."
    scripts/wine-run.sh "$demo" "${args[@]}" "$(winpath "$work/sample.jpg")"
else
    scripts/wine-run.sh "$demo" "${args[@]}" --submit --exit-after-upload \
        --shot "$(winpath "$work/pxdemo.png")" "$(winpath "$work/sample.jpg")"
    echo "pxdemo: no X display, so it ran under Xvfb; screenshot: $work/pxdemo.png"
fi
