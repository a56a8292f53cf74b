#!/usr/bin/python3
"""Runs canvas_bench's zoom steps and times Pillow's Image.BOX resize of a
6000 x 4000 picture to each step's display size in the same session, then
prints both with their ratio (the canvas goal is a ratio of at most 1).

    bench/pillow_zoom.py --canvas-bench build/bench/bench/canvas_bench \
                         --image-bench build/bench/bench/image_bench [--repeat N]

The picture Pillow resizes is image_bench's synthetic photo; a box resize
costs the same whatever the pixels are. Figures are CPU milliseconds per
step (median of the repeats), the measure least disturbed by a busy machine.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pillow_resize import HEIGHT, WIDTH, time_pillow  # noqa: E402


def zoom_steps(bench, repeat):
    """(display size, CPU ms) of every ZoomStep case, in step order."""
    out = subprocess.run(
        [bench, "--benchmark_filter=ZoomStep", "--benchmark_format=json",
         "--benchmark_repetitions=%d" % repeat, "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    steps = []
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        w, h = (int(v) for v in b["label"].split("x"))
        scale = {"ms": 1.0, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
        steps.append(((w, h), b["cpu_time"] * scale))
    return steps


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--canvas-bench", required=True)
    ap.add_argument("--image-bench", required=True, help="dumps the picture Pillow resizes")
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()

    with tempfile.NamedTemporaryFile(suffix=".rgb") as rgb:
        subprocess.run([args.image_bench, "--dump-rgb=" + rgb.name], check=True)
        img = Image.frombytes("RGB", (WIDTH, HEIGHT), rgb.read())

    print("%-4s %-11s %10s %10s %7s" % ("step", "display", "canvas ms", "Pillow ms", "ratio"))
    worst = 0.0
    for i, (size, canvas_cpu) in enumerate(zoom_steps(args.canvas_bench, args.repeat), 1):
        _, pillow_cpu = time_pillow(img, size, args.repeat)
        worst = max(worst, canvas_cpu / pillow_cpu)
        print("%-4d %-11s %10.1f %10.1f %7.2f" % (i, "%dx%d" % size, canvas_cpu, pillow_cpu,
                                                  canvas_cpu / pillow_cpu))
    print("worst ratio %.2f" % worst)


if __name__ == "__main__":
    main()
