#!/usr/bin/env python3
"""Generates the seed corpora of the codec fuzzers into OUTDIR/<target>/:
small pictures of every format and variant made with ImageMagick, the
malformed test files, and EXIF blocks. Nothing third-party is committed.

usage: make_codec_corpus.py OUTDIR
"""
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MALFORMED = os.path.join(HERE, "..", "tests", "data", "malformed")
BASE = ["-size", "19x13", "-seed", "3", "plasma:fractal"]
VARIANTS = {
    "bmp": [["BMP3:"], ["-colors", "16", "-type", "palette", "BMP3:"], ["-colors", "2", "-type", "palette", "BMP3:"],
            ["-colors", "60", "-compress", "RLE", "-type", "palette", "BMP3:"], ["BMP:"],
            ["-define", "bmp:subtype=RGB565", "BMP:"], ["-alpha", "set", "BMP:"], ["-colors", "8", "BMP2:"]],
    "gif": [["GIF:"], ["-colors", "4", "-interlace", "GIF", "GIF:"], ["-transparent", "black", "-fuzz", "40%", "GIF:"]],
    "jpg": [["-quality", "80", "JPEG:"], ["-interlace", "JPEG", "JPEG:"], ["-colorspace", "gray", "JPEG:"],
            ["-colorspace", "CMYK", "JPEG:"], ["-sampling-factor", "1x1", "-quality", "40", "JPEG:"]],
    "png": [["PNG24:"], ["PNG32:"], ["-colors", "20", "PNG8:"], ["-colorspace", "gray", "-depth", "16", "PNG:"],
            ["-interlace", "PNG", "PNG32:"], ["-colorspace", "gray", "-depth", "2", "PNG:"]],
    "tif": [["TIFF:"], ["-compress", "LZW", "TIFF:"], ["-colors", "16", "-type", "palette", "TIFF:"],
            ["-compress", "JPEG", "TIFF:"], ["-alpha", "set", "TIFF:"]],
}
TARGETS = {"bmp": ["bmp"], "gif": ["gif"], "jpg": ["jpg"], "png": ["png"], "tif": ["tif"],
           "any": ["bmp", "gif", "jpg", "png", "tif"]}


def exif_seeds():
    entries = [(0x010F, 2, 4, 62), (0x0112, 3, 1, 6), (0x011A, 5, 1, 66), (0x8769, 4, 1, 74)]
    ifd = struct.pack("<H", len(entries)) + b"".join(struct.pack("<HHII", *e) for e in entries) + struct.pack("<I", 0)
    tail = b"Cam\0" + struct.pack("<II", 300, 1) + struct.pack("<H", 1) + struct.pack("<HHII", 0x8827, 3, 1, 100) + \
        struct.pack("<I", 0)
    block = b"Exif\0\0II*\0" + struct.pack("<I", 8) + ifd + tail
    yield block
    yield b"\xff\xd8\xff\xe1" + struct.pack(">H", len(block) + 2) + block + b"\xff\xd9"


def main():
    out = sys.argv[1]
    made = {}
    tmp = os.path.join(out, "_pictures")
    os.makedirs(tmp, exist_ok=True)
    for fmt, variants in VARIANTS.items():
        made[fmt] = []
        for i, v in enumerate(variants):
            path = os.path.join(tmp, "%s-%d" % (fmt, i))
            args = ["convert"] + BASE + v[:-1] + [v[-1] + path]
            if subprocess.run(args, capture_output=True).returncode == 0:
                made[fmt].append(path)
    for target, fmts in TARGETS.items():
        d = os.path.join(out, target)
        os.makedirs(d, exist_ok=True)
        for fmt in fmts:
            for p in made[fmt]:
                shutil.copy(p, d)
        for name in os.listdir(MALFORMED):
            if not name.endswith(".py") and name != "MANIFEST":
                shutil.copy(os.path.join(MALFORMED, name), d)
    d = os.path.join(out, "exif")
    os.makedirs(d, exist_ok=True)
    for i, seed in enumerate(exif_seeds()):
        with open(os.path.join(d, "exif-%d" % i), "wb") as f:
            f.write(seed)
    shutil.rmtree(tmp)


if __name__ == "__main__":
    main()
