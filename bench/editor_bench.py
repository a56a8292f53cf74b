#!/usr/bin/python3
"""Runs editor_bench under Wine and sets Pillow's Image.BOX resize of a
6000 x 4000 picture to each zoom step's display size beside it, in the same
session, with the goals of each figure.

    bench/editor_bench.py [--bench build/win64/bench/editor_bench_np.exe] [--repeat N] [--json]

Figures are wall milliseconds, medians of the repeats. Pillow runs natively;
the editor runs under wine64 (scripts/wine-run.sh), painting into a real
window on Xvfb. --json prints the figures as JSON rows (see bench/report.py)
instead of the text.
"""
import argparse
import json
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pillow_resize import HEIGHT, WIDTH, time_pillow  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", default=os.path.join(ROOT, "build/win64/bench/editor_bench_np.exe"))
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--json", action="store_true", help="print JSON rows instead of the text")
    args = parser.parse_args()
    env = dict(os.environ)
    env.setdefault("PIXMEND_WINEPREFIX", os.path.join(ROOT, "build/win64/wineprefix"))
    out = subprocess.run([os.path.join(ROOT, "scripts/wine-run.sh"), args.bench, str(args.repeat)],
                         check=True, capture_output=True, text=True, env=env).stdout
    picture = Image.effect_noise((WIDTH, HEIGHT), 40).convert("RGB")
    rows = []

    def row(text, what, ours, reference=None, ref_ms=None, goal_ratio=None, goal_ms=None, note=""):
        rows.append(dict(what=what, measure="wall", ours_ms=ours, reference=reference, ref_ms=ref_ms,
                         goal_ratio=goal_ratio, goal_ms=goal_ms, note=note))
        if not args.json:
            print(text)

    step = 0
    for line in out.splitlines():
        words = line.split()
        if not words:
            continue
        if words[0] == "open":
            row("drop to first frame %s ms, decode + fit alone %s ms: ratio %s (goal <= 1.2)"
                % (words[4], words[2], words[6]),
                "editor: drop 6000x4000 JPEG to first frame", float(words[4]),
                "decode + fit alone", float(words[2]), goal_ratio=1.2)
        elif words[0] == "zoom":
            size = (int(words[1]), int(words[2]))
            pillow = time_pillow(picture, size, args.repeat)[0]
            ours = float(words[3])
            step += 1
            row("zoom step to %5d x %4d: %6.1f ms, Pillow box resize %6.1f ms: ratio %.2f (goal <= 1)"
                % (size[0], size[1], ours, pillow, ours / pillow),
                "editor: wheel zoom step %d to %dx%d, to frame" % ((step,) + size), ours,
                "Pillow BOX resize", pillow, goal_ratio=1.0)
        elif words[0] == "drag":
            row("drag step to frame %s ms (goal < 5)" % words[1],
                "editor: drag step at zoom 4, to frame", float(words[1]), goal_ms=5)
        elif words[0] == "ok-to-first-byte":
            row("OK to first byte %s ms, 400 x 400 JPEG clip (goal < 30) %s" % (words[1], " ".join(words[2:])),
                "editor: OK to first request byte, 400x400 JPEG", float(words[1]), goal_ms=30,
                note=" ".join(words[2:]).strip("()"))
    if args.json:
        json.dump({"rows": rows}, sys.stdout, indent=1)
        print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
