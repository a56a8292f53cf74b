#!/usr/bin/python3
"""Runs editor_bench under Wine and sets Pillow's Image.BOX resize of a
6000 x 4000 picture to each zoom step's display size beside it, in the same
session, with the goals of each figure.

    bench/editor_bench.py [--bench build/win64/bench/editor_bench_np.exe] [--repeat N]

Figures are wall milliseconds, medians of the repeats. Pillow runs natively;
the editor runs under wine64 (scripts/wine-run.sh), painting into a real
window on Xvfb.
"""
import argparse
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
    args = parser.parse_args()
    env = dict(os.environ)
    env.setdefault("PIXMEND_WINEPREFIX", os.path.join(ROOT, "build/win64/wineprefix"))
    out = subprocess.run([os.path.join(ROOT, "scripts/wine-run.sh"), args.bench, str(args.repeat)],
                         check=True, capture_output=True, text=True, env=env).stdout
    picture = Image.effect_noise((WIDTH, HEIGHT), 40).convert("RGB")
    for line in out.splitlines():
        words = line.split()
        if not words:
            continue
        if words[0] == "open":
            print("drop to first frame %s ms, decode + fit alone %s ms: ratio %s (goal <= 1.2)"
                  % (words[4], words[2], words[6]))
        elif words[0] == "zoom":
            size = (int(words[1]), int(words[2]))
            pillow = time_pillow(picture, size, args.repeat)[0]
            ours = float(words[3])
            print("zoom step to %5d x %4d: %6.1f ms, Pillow box resize %6.1f ms: ratio %.2f (goal <= 1)"
                  % (size[0], size[1], ours, pillow, ours / pillow))
        elif words[0] == "drag":
            print("drag step to frame %s ms (goal < 5)" % words[1])
        elif words[0] == "ok-to-first-byte":
            print("OK to first byte %s ms, 400 x 400 JPEG clip (goal < 30) %s" % (words[1], " ".join(words[2:])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
