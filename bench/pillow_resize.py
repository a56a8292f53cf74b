#!/usr/bin/python3
"""Times Pillow's Image.BOX resize of the image benchmark's synthetic picture
to the sizes that PxImage::FitToBox produces for the canvas boxes, and, given
the image_bench binary, runs its FitToBox cases in the same session and prints
both with their ratio.

    bench/pillow_resize.py [--bench build/bench/bench/image_bench] [--repeat N] [--json]

The picture comes from `image_bench --dump-rgb=PATH` (6000 x 4000, RGB), so
both sides resize the same pixels. Figures are wall-clock and CPU
milliseconds per resize (median of the repeats) and input megapixels per
second of wall-clock time. --json prints the comparisons (CPU time) as JSON
rows (see bench/report.py) instead of the table.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gbench  # noqa: E402

WIDTH, HEIGHT = 6000, 4000
BOXES = [(800, 533), (960, 640), (1600, 1066), (3200, 2132)]


def fitted_size(box_w, box_h):
    """The scaled picture size FitToBox uses for a box (exact integers)."""
    if box_w * HEIGHT > WIDTH * box_h:
        return max(1, WIDTH * box_h // HEIGHT), box_h
    return box_w, max(1, HEIGHT * box_w // WIDTH)


def time_pillow(img, size, repeat):
    walls, cpus = [], []
    img.resize(size, Image.BOX)  # warm-up
    for _ in range(repeat):
        w0, c0 = time.perf_counter(), time.process_time()
        out = img.resize(size, Image.BOX)
        walls.append((time.perf_counter() - w0) * 1000)
        cpus.append((time.process_time() - c0) * 1000)
        del out
    return statistics.median(walls), statistics.median(cpus)


def run_cpp(bench, repeat):
    """FitToBox wall and CPU ms per box from image_bench's JSON output."""
    return {tuple(b["args"]): (b["real_ms"], b["cpu_ms"])
            for b in gbench.run(bench, "BM_FitToBox", repeat)}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--bench", help="path to image_bench; also runs its FitToBox cases")
    ap.add_argument("--rgb", help="raw 6000x4000 RGB file (default: dumped by --bench)")
    ap.add_argument("--repeat", type=int, default=7)
    ap.add_argument("--json", action="store_true", help="print JSON rows instead of the table")
    args = ap.parse_args()

    rgb = args.rgb
    tmp = None
    if not rgb:
        if not args.bench:
            sys.exit("give --bench (to dump the picture) or --rgb")
        tmp = tempfile.NamedTemporaryFile(suffix=".rgb", delete=False)
        tmp.close()
        rgb = tmp.name
        subprocess.run([args.bench, "--dump-rgb=" + rgb], check=True)
    with open(rgb, "rb") as f:
        img = Image.frombytes("RGB", (WIDTH, HEIGHT), f.read())
    if tmp:
        os.unlink(tmp.name)

    cpp = run_cpp(args.bench, args.repeat) if args.bench else {}
    mp = WIDTH * HEIGHT / 1e6
    rows = []
    if not args.json:
        print("%-11s %-11s %12s %12s %12s %12s %8s %8s" % (
            "box", "scaled", "Pillow ms", "(cpu)", "FitToBox ms", "(cpu)", "ratio", "cpu ratio"))
    for box in BOXES:
        size = fitted_size(*box)
        p_wall, p_cpu = time_pillow(img, size, args.repeat)
        rows.append(dict(what="FitToBox 6000x4000 into %dx%d" % box, measure="CPU",
                         reference="Pillow BOX resize", ref_ms=p_cpu, goal_ratio=1.0))
        if box in cpp:
            rows[-1]["ours_ms"] = cpp[box][1]
        if args.json:
            continue
        line = "%-11s %-11s %8.1f %5.0f MP/s %8.1f" % (
            "%dx%d" % box, "%dx%d" % size, p_wall, mp / p_wall * 1000, p_cpu)
        if box in cpp:
            c_wall, c_cpu = cpp[box]
            line += " %8.1f %5.0f MP/s %8.1f %8.2f %8.2f" % (
                c_wall, mp / c_wall * 1000, c_cpu, c_wall / p_wall, c_cpu / p_cpu)
        print(line)
    if args.json:
        json.dump({"rows": rows}, sys.stdout, indent=1)
        print()


if __name__ == "__main__":
    main()
