#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes quillmere.ico from quillmere.xpm: one 32 x 32 image with 16 colours (the standard
Windows palette), whose AND mask makes every pixel the XPM leaves transparent ("None") transparent.
The output depends only on the XPM. Usage: make_ico.py [XPM [ICO]], by default the files beside
this script."""
import pathlib
import re
import struct
import sys

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def read_xpm(path):
    """Returns the rows of the XPM as lists of (red, green, blue) tuples, None where transparent."""
    strings = re.findall(r'"([^"]*)"', pathlib.Path(path).read_text(encoding="ascii"))
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    table = {}
    for line in strings[1:1 + colours]:
        key, value = line[:per_pixel], line[per_pixel:].split()
        colour = value[value.index("c") + 1]
        table[key] = None if colour.lower() == "none" else tuple(
            int(colour[i:i + 2], 16) for i in (1, 3, 5))
    rows = strings[1 + colours:1 + colours + height]
    return [[table[row[x * per_pixel:(x + 1) * per_pixel]] for x in range(width)] for row in rows]


def make_ico(pixels):
    height, width = len(pixels), len(pixels[0])
    assert width % 32 == 0 and width % 8 == 0
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bitmaps run from the bottom row up
        indices = [PALETTE.index(p) if p is not None else 0 for p in row]
        xor_rows.append(bytes(indices[x] << 4 | indices[x + 1] for x in range(0, width, 2)))
        mask_bits = [1 if p is None else 0 for p in row]
        and_rows.append(bytes(
            sum(bit << (7 - i) for i, bit in enumerate(mask_bits[x:x + 8]))
            for x in range(0, width, 8)))
    bitmap = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 4, 0, len(bitmap), 0, 0,
                         len(PALETTE), 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    image = header + palette + bitmap
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, len(PALETTE), 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = pathlib.Path(__file__).resolve().parent
    xpm = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "quillmere.xpm"
    ico = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else here / "quillmere.ico"
    ico.write_bytes(make_ico(read_xpm(xpm)))


if __name__ == "__main__":
    main()
