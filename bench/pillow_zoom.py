#!/usr/bin/python3
"""Runs canvas_bench's zoom steps and times Pillow's Image.BOX resize of a
6000 x 4000 picture to each step's display size in the same session, then
prints both with their ratio (the canvas goal is a ratio of at most 1).

    bench/pillow_zoom.py --canvas-bench build/bench/bench/canvas_bench \
                         --image-bench build/bench/bench/image_bench [--repeat N] [--json]

The picture Pillow resizes is image_bench's synthetic photo; a box resize
costs the same whatever the pixels are. Figures are CPU milliseconds per
step (median of the repeats), the measure least disturbed by a busy machine.
--json prints the steps as JSON rows (see bench/report.py) instead.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gbench  # noqa: E402
from pillow_resize import HEIGHT, WIDTH, time_pillow  # noqa: E402


def zoom_steps(bench, repeat):
    """(display size, CPU ms) of every ZoomStep case, in step order."""
    return [(tuple(int(v) for v in b["label"].split("x")), b["cpu_ms"])
            for b in gbench.run(bench, "ZoomStep", repeat)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--canvas-bench", required=True)
    ap.add_argument("--image-bench", required=True, help="dumps the picture Pillow resizes")
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--json", action="store_true", help="print JSON rows instead of the table")
    args = ap.parse_args()

    with tempfile.NamedTemporaryFile(suffix=".rgb") as rgb:
        subprocess.run([args.image_bench, "--dump-rgb=" + rgb.name], check=True)
        img = Image.frombytes("RGB", (WIDTH, HEIGHT), rgb.read())

    rows = []
    for i, (size, canvas_cpu) in enumerate(zoom_steps(args.canvas_bench, args.repeat), 1):
        _, pillow_cpu = time_pillow(img, size, args.repeat)
        rows.append(dict(what="canvas zoom step %d to %dx%d" % ((i,) + size), measure="CPU",
                         ours_ms=canvas_cpu, reference="Pillow BOX resize", ref_ms=pillow_cpu,
                         goal_ratio=1.0))
    if args.json:
        json.dump({"rows": rows}, sys.stdout, indent=1)
        print()
        return
    print("%-4s %-11s %10s %10s %7s" % ("step", "display", "canvas ms", "Pillow ms", "ratio"))
    for i, row in enumerate(rows, 1):
        print("%-4d %-11s %10.1f %10.1f %7.2f" % (i, row["what"].split()[-1], row["ours_ms"],
                                                  row["ref_ms"], row["ours_ms"] / row["ref_ms"]))
    print("worst ratio %.2f" % max(r["ours_ms"] / r["ref_ms"] for r in rows))


if __name__ == "__main__":
    main()
