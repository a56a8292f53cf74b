#!/usr/bin/python3
"""Times with Pillow the work of bench/CodecBench.cpp, on the same pictures:
decoding big.jpg / big.png / big.bmp, and encoding 400 x 400 and 1600 x 1200
crops as JPEG quality 100, PNG (level 6 and 1) and BMP into memory.

usage: pillow_codecs.py [DIR] [--bench build/bench/bench/codec_bench]
                        [--repeat N] [--bench-repeat N] [--json]
DIR defaults to /tmp/pixmend-bench. With --bench, codec_bench runs on the
same pictures in the same session and each line gets its CPU time and the
ratio ours / Pillow. Decodes allocate fresh memory each time (a new image
per call), as the library does. --json prints the comparisons as JSON rows
(see bench/report.py) instead of the text."""
import argparse
import io
import json
import os
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gbench  # noqa: E402

# (file, label, codec_bench case)
DECODES = [("big.jpg", "JPEG q92", "BM_DecodeJpeg24MP"),
           ("big.png", "PNG", "BM_DecodePng24MP"),
           ("big.bmp", "BMP 24-bpp", "BM_DecodeBmp24MP")]
# (label, Pillow's save arguments, codec_bench case, goal ratio). The library
# writes PNG at zlib level 4 with the Paeth filter: Pillow's default level 6
# is the comparison with a goal; level 1, its fastest, makes larger files and
# is shown for scale.
ENCODES = [("jpeg q100", dict(format="JPEG", quality=100), "BM_EncodeJpegQ100", 1.0),
           ("png level 6", dict(format="PNG", compress_level=6), "BM_EncodePng", 1.0),
           ("png level 1", dict(format="PNG", compress_level=1), "BM_EncodePng", None),
           ("bmp", dict(format="BMP"), "BM_EncodeBmp", 1.0)]
CLIPS = [(400, 400), (1600, 1200)]


def best_ms(fn, repeat):
    """Median CPU time of the process per call, in ms (robust on a busy
    machine; Google Benchmark's CPU column is the same measure)."""
    times = []
    for _ in range(repeat):
        t = time.process_time()
        fn()
        times.append((time.process_time() - t) * 1000)
    times.sort()
    return times[len(times) // 2]


def ours(bench, folder, repeat):
    """{(case, args): benchmark entry} from codec_bench on the pictures in folder."""
    env = dict(os.environ, PIXMEND_BENCH_IMAGES=folder)
    return {(r["base"], tuple(r["args"])): r
            for r in gbench.run(bench, "BM_Decode|BM_Encode", repeat, env)}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("dir", nargs="?", default="/tmp/pixmend-bench")
    ap.add_argument("--bench", help="codec_bench: also time the library, same pictures")
    ap.add_argument("--repeat", type=int, default=7,
                    help="Pillow decodes per picture (encodes: twice as many plus one)")
    ap.add_argument("--bench-repeat", type=int, default=3, help="codec_bench repetitions")
    ap.add_argument("--json", action="store_true", help="print JSON rows instead of text")
    args = ap.parse_args()
    d = args.dir
    lib = ours(args.bench, d, args.bench_repeat) if args.bench else {}
    rows = []

    def line(text, what, pillow_ms, case, goal=1.0, note=""):
        row = dict(what=what, measure="CPU", reference="Pillow", ref_ms=pillow_ms,
                   goal_ratio=goal, note=note)
        if case in lib:
            row["ours_ms"] = lib[case]["cpu_ms"]
            text += "  ours %8.2f ms  ratio %5.2f" % (row["ours_ms"], row["ours_ms"] / pillow_ms)
        rows.append(row)
        if not args.json:
            print(text)

    for name, label, case in DECODES:
        data = open(os.path.join(d, name), "rb").read()
        ms = best_ms(lambda: Image.open(io.BytesIO(data)).load(), args.repeat)
        line("decode %-8s median %8.1f ms" % (name, ms), "decode %s 6000x4000" % label, ms, (case, ()))
    big = Image.open(os.path.join(d, "big.bmp"))
    big.load()
    for w, h in CLIPS:
        clip = big.crop((1000, 1000, 1000 + w, 1000 + h))
        clip.load()
        for label, kwargs, case, goal in ENCODES:
            out = io.BytesIO()
            ms = best_ms(lambda: clip.save(io.BytesIO(), **kwargs), 2 * args.repeat + 1)
            clip.save(out, **kwargs)
            size = len(out.getvalue())
            key = (case, (w, h))
            note = ""
            if key in lib:
                note = "size %.2fx Pillow's" % (lib[key]["bytes"] / size)
                if case == "BM_EncodePng":
                    note = "ours level 4 + Paeth; " + note
            what = "encode %dx%d %s" % (w, h, label.replace("jpeg", "JPEG").replace("png", "PNG")
                                        .replace("bmp", "BMP"))
            line("encode %4dx%-4d %-12s median %8.2f ms  %8d bytes" % (w, h, label, ms, size),
                 what, ms, key, goal, note)
    if args.json:
        json.dump({"rows": rows}, sys.stdout, indent=1)
        print()


if __name__ == "__main__":
    main()
