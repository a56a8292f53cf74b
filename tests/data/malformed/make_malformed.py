#!/usr/bin/env python3
"""Writes the malformed pictures of this folder. Each file is named after
what it breaks; the decoders must refuse or survive every one of them."""
import struct
import zlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def bmp(width, height, bpp, compression, payload, clr_used=0, off_bits=None, header_size=40,
        size_image=0):
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bpp, compression,
                       size_image, 0, 0, clr_used, 0)
    info += b"\0" * (header_size - 40)
    if off_bits is None:
        off_bits = 14 + len(info)
    head = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(payload), 0, 0, off_bits)
    return head + info + payload


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, depth, color, idat, extra=b"", crc_ok=True):
    ihdr = png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color, 0, 0, 0))
    if not crc_ok:
        ihdr = ihdr[:-1] + bytes([ihdr[-1] ^ 0xFF])
    return b"\x89PNG\r\n\x1a\n" + ihdr + extra + png_chunk(b"IDAT", idat) + png_chunk(b"IEND", b"")


def gif(width, height, frames_data):
    return b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff" + \
        frames_data + b";"


def main():
    # BMP
    write("bmp-rle8-runs-past-every-edge.bmp",
          bmp(4, 4, 8, 1, b"\0" * 1024 + bytes([255, 1, 0, 2, 255, 255, 255, 2, 0, 0, 0, 255] + [7] * 255 + [0, 1]),
              clr_used=256))
    write("bmp-rle4-absolute-run-past-data-end.bmp",
          bmp(8, 2, 4, 2, b"\0" * 64 + bytes([0, 200, 0x12, 0x34]), clr_used=16))
    write("bmp-dimensions-over-memory-limit.bmp", bmp(65535, 65535, 24, 0, b"\0" * 64))
    write("bmp-palette-count-overflow.bmp", bmp(2, 2, 8, 0, b"\0" * 64, clr_used=0xFFFFFFFF))
    write("bmp-pixel-offset-past-end.bmp", bmp(2, 2, 24, 0, b"\0" * 16, off_bits=0x7FFFFFF0))
    write("bmp-negative-width.bmp", bmp(-5, 2, 24, 0, b"\0" * 64))
    write("bmp-height-int-min.bmp", bmp(2, -2147483648, 24, 0, b"\0" * 64))
    write("bmp-header-size-huge.bmp", bmp(2, 2, 24, 0, b"\0" * 64, header_size=40)[:14] +
          struct.pack("<I", 0xFFFFFFF0) + b"\0" * 80)
    write("bmp-bitfields-zero-masks.bmp", bmp(2, 2, 32, 3, struct.pack("<III", 0, 0, 0) + b"\xff" * 16))
    write("bmp-bitcount-2.bmp", bmp(4, 4, 2, 0, b"\0" * 64))
    # GIF
    write("gif-frame-outside-screen.gif",
          gif(2, 2, b"," + struct.pack("<HHHHB", 60000, 60000, 2, 2, 0) + b"\x02\x02\x4c\x01\x00"))
    write("gif-lzw-code-beyond-table.gif",
          gif(2, 2, b"," + struct.pack("<HHHHB", 0, 0, 2, 2, 0) + b"\x02\x02\xfc\xff\x00"))
    write("gif-min-code-size-12.gif",
          gif(2, 2, b"," + struct.pack("<HHHHB", 0, 0, 2, 2, 0) + b"\x0c\x02\xff\xff\x00"))
    write("gif-global-table-truncated.gif", b"GIF89a" + struct.pack("<HHBBB", 2, 2, 0x87, 0, 0) + b"\0" * 30)
    write("gif-huge-frame-tiny-data.gif",
          gif(65535, 65535, b"," + struct.pack("<HHHHB", 0, 0, 65535, 65535, 0) + b"\x02\x01\x05\x00"))
    write("gif-sub-block-length-past-end.gif",
          gif(2, 2, b"!\xf9\xff\x01" + b"," + struct.pack("<HHHHB", 0, 0, 2, 2, 0)))
    # JPEG
    sof = b"\xff\xc0" + struct.pack(">HBHHB", 17, 8, 0xFFFF, 0xFFFF, 3) + b"\x01\x22\x00\x02\x11\x00\x03\x11\x00"
    write("jpeg-huge-frame-no-scan.jpg", b"\xff\xd8" + sof + b"\xff\xd9")
    write("jpeg-truncated-after-soi.jpg", b"\xff\xd8\xff")
    exif_loop = b"Exif\0\0II*\0" + struct.pack("<I", 8) + struct.pack("<H", 2) + \
        struct.pack("<HHII", 0x8769, 4, 1, 8) + struct.pack("<HHII", 0xA005, 4, 1, 8) + struct.pack("<I", 8)
    write("jpeg-exif-directory-loop.jpg",
          b"\xff\xd8\xff\xe1" + struct.pack(">H", len(exif_loop) + 2) + exif_loop + b"\xff\xd9")
    write("jpeg-section-length-1.jpg", b"\xff\xd8\xff\xe0\x00\x01" + b"\0" * 20)
    # PNG
    write("png-ihdr-crc-wrong.png", png(1, 1, 8, 0, zlib.compress(b"\0\0"), crc_ok=False))
    write("png-dimensions-over-memory-limit.png", png(60000, 60000, 8, 2, zlib.compress(b"\0" * 100)))
    write("png-color-type-5.png", png(1, 1, 8, 5, zlib.compress(b"\0\0")))
    write("png-idat-too-short.png", png(64, 64, 8, 2, zlib.compress(b"\0" * 100)))
    write("png-palette-missing.png", png(2, 2, 8, 3, zlib.compress(b"\0\0\0\0\0\0")))
    # TIFF
    write("tiff-strip-offset-past-end.tif",
          b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", 8) +
          struct.pack("<HHII", 256, 4, 1, 16) + struct.pack("<HHII", 257, 4, 1, 16) +
          struct.pack("<HHII", 258, 3, 1, 8) + struct.pack("<HHII", 262, 3, 1, 1) +
          struct.pack("<HHII", 273, 4, 1, 0x7FFFFFF0) + struct.pack("<HHII", 277, 3, 1, 1) +
          struct.pack("<HHII", 278, 4, 1, 16) + struct.pack("<HHII", 279, 4, 1, 256) + struct.pack("<I", 0))
    write("tiff-directory-loop.tif",
          b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", 1) + struct.pack("<HHII", 256, 4, 1, 16) +
          struct.pack("<I", 8))


if __name__ == "__main__":
    main()
