#!/usr/bin/env python3
"""Writes the sample pictures the example documents place (Links/).

Only the standard library: PNG through zlib, TIFF uncompressed. Grey and
colour pictures, so that tools which tell them apart have both to look at.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
LINKS = os.path.join(HERE, "Links")


def png(path, width, height, pixel, grey):
    """pixel(x, y) gives a grey value or an (r, g, b) tuple, 0..255."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            value = pixel(x, y)
            rows.extend([value] if grey else value)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 0 if grey else 2, 0, 0, 0)
    # 300 dpi, in pixels per metre.
    physical = struct.pack(">IIB", 11811, 11811, 1)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"pHYs", physical)
                  + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def tiff(path, width, height, pixel, samples):
    """samples 1 (grey, black is 0) or 4 (CMYK); pixel(x, y) gives a tuple of that many bytes."""
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data.extend(pixel(x, y))
    entries = [
        (256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 8), (259, 3, 1, 1),
        (262, 3, 1, 1 if samples == 1 else 5), (273, 4, 1, 0), (277, 3, 1, samples),
        (278, 3, 1, height), (279, 4, 1, len(data)), (284, 3, 1, 1),
    ]
    ifd_offset = 8
    data_offset = ifd_offset + 2 + len(entries) * 12 + 4
    out = bytearray(b"II*\x00" + struct.pack("<I", ifd_offset))
    out += struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 273:
            value = data_offset
        if kind == 3:
            out += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, kind, count, value)
    out += struct.pack("<I", 0) + data
    with open(path, "wb") as f:
        f.write(out)


def main():
    os.makedirs(LINKS, exist_ok=True)
    # A sunset over a lake: colour.
    def sunset(x, y):
        sky = y < 110
        r = 250 if sky else 40 + y // 4
        g = 120 + y // 2 if sky else 90 + y // 5
        b = 60 + y if sky else 140
        if (x - 200) ** 2 + (y - 105) ** 2 < 45 ** 2 and sky:
            r, g, b = 255, 220, 90
        return (min(r, 255), min(g, 255), min(b, 255))
    png(os.path.join(LINKS, "sommerfest-foto.png"), 300, 200, sunset, grey=False)
    # A round logo in greys.
    def logo(x, y):
        d = math.hypot(x - 60, y - 60)
        return 30 if d < 40 else (200 if d < 55 else 255)
    png(os.path.join(LINKS, "logo-grau.png"), 120, 120, logo, grey=True)
    # Product shots for the catalogue: a CMYK colour one and a grey one.
    def product_cmyk(x, y):
        inside = 30 < x < 130 and 20 < y < 110
        return (0, 180, 230, 10) if inside else (10, 5, 0, 0)
    tiff(os.path.join(LINKS, "produkt-4711.tif"), 160, 130, product_cmyk, 4)
    def product_grey(x, y):
        return (90 + (x * 2 + y) % 120,) if 20 < x < 140 and 15 < y < 115 else (245,)
    tiff(os.path.join(LINKS, "produkt-4712.tif"), 160, 130, product_grey, 1)


if __name__ == "__main__":
    main()
