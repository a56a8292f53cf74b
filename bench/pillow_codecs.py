#!/usr/bin/env python3
"""Times with Pillow the work of bench/CodecBench.cpp, on the same pictures:
decoding big.jpg / big.png / big.bmp, and encoding 400 x 400 and 1600 x 1200
crops as JPEG quality 100, PNG (level 6 and 1) and BMP into memory.

usage: pillow_codecs.py [DIR]   (default /tmp/pixmend-bench)
Decodes allocate fresh memory each time (a new image per call), as the
library does."""
import io
import sys
import time

from PIL import Image


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


def main():
    d = sys.argv[1] if len(sys.argv) > 1 else "/tmp/pixmend-bench"
    for name in ("big.jpg", "big.png", "big.bmp"):
        data = open("%s/%s" % (d, name), "rb").read()
        ms = best_ms(lambda: Image.open(io.BytesIO(data)).load(), 7)
        print("decode %-8s median %8.1f ms" % (name, ms))
    big = Image.open("%s/big.bmp" % d)
    big.load()
    for w, h in ((400, 400), (1600, 1200)):
        clip = big.crop((1000, 1000, 1000 + w, 1000 + h))
        clip.load()
        for label, kwargs in (("jpeg q100", dict(format="JPEG", quality=100)),
                              ("png level 6", dict(format="PNG", compress_level=6)),
                              ("png level 1", dict(format="PNG", compress_level=1)),
                              ("bmp", dict(format="BMP"))):
            out = io.BytesIO()
            ms = best_ms(lambda: clip.save(io.BytesIO(), **kwargs), 15)
            clip.save(out, **kwargs)
            print("encode %4dx%-4d %-12s median %8.2f ms  %8d bytes" % (w, h, label, ms, len(out.getvalue())))


if __name__ == "__main__":
    main()
