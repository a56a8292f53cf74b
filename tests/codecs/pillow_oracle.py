#!/usr/bin/env python3
"""Decodes a generated set of pictures with pximage and with Pillow and
compares the pixels: exact for lossless formats, within a tolerance for JPEG.

usage: pillow_oracle.py PXIMAGE_NP PXIMAGE_AX WORKDIR
Pictures are made with ImageMagick's `convert`; the script exits 77 (skipped)
when Pillow or ImageMagick is missing.
"""
import os
import subprocess
import sys

try:
    from PIL import Image
except ImportError:
    print("Pillow missing: skipped")
    sys.exit(77)

# name, convert arguments producing the file, flavours, tolerance per channel
BASE = ["-size", "83x47", "-seed", "7", "plasma:fractal"]
CASES = [
    ("rgb24.bmp", BASE + ["-type", "truecolor", "BMP3:{out}"], "np ax", 0),
    ("pal8.bmp", BASE + ["-colors", "200", "-type", "palette", "BMP3:{out}"], "np ax", 0),
    ("pal4.bmp", BASE + ["-colors", "16", "-type", "palette", "BMP3:{out}"], "np ax", 0),
    ("pal1.bmp", BASE + ["-colors", "2", "-type", "palette", "BMP3:{out}"], "np ax", 0),
    ("rle8.bmp", BASE + ["-colors", "100", "-compress", "RLE", "-type", "palette", "BMP3:{out}"], "np ax", 0),
    ("v5-24.bmp", BASE + ["-type", "truecolor", "BMP:{out}"], "np ax", 0),
    ("v5-pal8.bmp", BASE + ["-colors", "60", "-type", "palette", "BMP:{out}"], "np ax", 0),
    ("os2.bmp", BASE + ["-colors", "60", "-type", "palette", "BMP2:{out}"], "np ax", 0),
    ("rgb565.bmp", BASE + ["-define", "bmp:subtype=RGB565", "BMP:{out}"], "np ax", 0),
    ("rgb555.bmp", BASE + ["-define", "bmp:subtype=RGB555", "BMP:{out}"], "np ax", 0),
    ("rgb.png", BASE + ["PNG24:{out}"], "np ax", 0),
    ("rgba.png", BASE + ["-alpha", "set", "-channel", "A", "-evaluate", "set", "60%", "+channel", "PNG32:{out}"], "np ax", 0),
    ("rgb16.png", BASE + ["-depth", "16", "PNG48:{out}"], "np ax", 0),
    ("gray8.png", BASE + ["-colorspace", "gray", "PNG8:{out}"], "np ax", 0),
    ("gray-a.png", BASE + ["-colorspace", "gray", "-alpha", "set", "-channel", "A", "-evaluate", "set", "30%", "+channel", "-define", "png:color-type=4", "{out}"], "np ax", 0),
    ("gray2.png", BASE + ["-colorspace", "gray", "-depth", "2", "-define", "png:bit-depth=2", "-define", "png:color-type=0", "{out}"], "np ax", 0),
    ("gray4.png", BASE + ["-colorspace", "gray", "-depth", "4", "-define", "png:bit-depth=4", "-define", "png:color-type=0", "{out}"], "np ax", 0),
    ("gray1.png", BASE + ["-colorspace", "gray", "-threshold", "50%", "-define", "png:bit-depth=1", "-define", "png:color-type=0", "{out}"], "np ax", 0),
    ("pal8.png", BASE + ["-colors", "90", "PNG8:{out}"], "np ax", 0),
    ("pal-trns.png", BASE + ["-colors", "30", "-transparent", "black", "-fuzz", "30%", "PNG8:{out}"], "np ax", 0),
    ("interlaced.png", BASE + ["-interlace", "PNG", "PNG24:{out}"], "np ax", 0),
    ("interlaced-rgba.png", BASE + ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel", "-interlace", "PNG", "PNG32:{out}"], "np ax", 0),
    ("q92.jpg", BASE + ["-quality", "92", "{out}"], "np ax", 2),
    ("q50-444.jpg", BASE + ["-quality", "50", "-sampling-factor", "1x1", "{out}"], "np ax", 2),
    ("gray.jpg", BASE + ["-colorspace", "gray", "-quality", "90", "{out}"], "np ax", 2),
    ("progressive.jpg", BASE + ["-interlace", "JPEG", "-quality", "85", "{out}"], "np ax", 2),
    ("pal.gif", BASE + ["-colors", "120", "{out}"], "np", 0),
    ("interlaced.gif", BASE + ["-colors", "64", "-interlace", "GIF", "{out}"], "np", 0),
    ("two.gif", BASE + ["-colors", "4", "{out}"], "np", 0),
    ("rgb.tif", BASE + ["-depth", "8", "-compress", "LZW", "{out}"], "np", 0),
    # libtiff's RGBA reader rounds 16-bit samples where Pillow truncates.
    ("rgb16.tif", BASE + ["-depth", "16", "{out}"], "np", 1),
    ("pal.tif", BASE + ["-colors", "50", "-type", "palette", "{out}"], "np", 0),
    ("gray.tif", BASE + ["-colorspace", "gray", "-depth", "8", "-compress", "Zip", "{out}"], "np", 0),
    ("gray1.tif", BASE + ["-colorspace", "gray", "-threshold", "50%", "-depth", "1", "{out}"], "np", 0),
]


def pillow_rgba(path):
    img = Image.open(path)
    img.seek(0)
    if img.mode.startswith("I;16"):
        # 16-bit gray: keep the high byte, as the decoder does.
        img = img.point(lambda v: v / 256).convert("L")
    return img.convert("RGBA")


def compare(a, b, tolerance):
    if a.size != b.size:
        return "size %s != %s" % (a.size, b.size)
    worst = 0
    for pa, pb in zip(a.getdata(), b.getdata()):
        d = max(abs(x - y) for x, y in zip(pa, pb))
        if d > worst:
            worst = d
    if worst > tolerance:
        return "max channel difference %d > %d" % (worst, tolerance)
    return None


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    tools = {"np": sys.argv[1], "ax": sys.argv[2]}
    work = sys.argv[3]
    os.makedirs(work, exist_ok=True)
    failures = checked = 0
    for name, args, flavours, tolerance in CASES:
        src = os.path.join(work, name)
        cmd = ["convert"] + [a.replace("{out}", src) for a in args]
        try:
            subprocess.run(cmd, check=True, capture_output=True)
        except FileNotFoundError:
            print("ImageMagick missing: skipped")
            return 77
        except subprocess.CalledProcessError as e:
            print("FAIL %s: convert failed: %s" % (name, e.stderr.decode(errors="replace")))
            failures += 1
            continue
        expected = pillow_rgba(src)
        for fl in flavours.split():
            out = os.path.join(work, "%s.%s.png" % (name, fl))
            run = subprocess.run([tools[fl], src, "-o", out], capture_output=True, text=True)
            if run.returncode != 0:
                print("FAIL %s [%s]: %s" % (name, fl, run.stdout.strip()))
                failures += 1
                continue
            problem = compare(expected, Image.open(out).convert("RGBA"), tolerance)
            checked += 1
            if problem:
                print("FAIL %s [%s]: %s (%s)" % (name, fl, problem, run.stdout.strip()))
                failures += 1
            else:
                print("ok   %s [%s]: %s" % (name, fl, run.stdout.strip()))
    # Pixmend has no GIF or TIFF decoder at all.
    for name in ("pal.gif", "rgb.tif"):
        run = subprocess.run([tools["ax"], os.path.join(work, name)], capture_output=True, text=True)
        checked += 1
        if run.returncode != 1 or "Decode: Unknown or wrong format" not in run.stdout:
            print("FAIL %s [ax]: expected the unknown-format error, got %r" % (name, run.stdout))
            failures += 1
    print("%d comparisons, %d failures" % (checked, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
