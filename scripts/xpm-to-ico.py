#!/usr/bin/env python3
"""Writes the Windows program's icon from the window's XPM icon, so that both
show the same picture: scripts/xpm-to-ico.py ui/KALMET_Configuration_Tool.xpm
app/windows/KALMET_Configuration_Tool.ico (run again when the XPM changes)."""
import re
import struct
import sys


def read_xpm(path):
    rows = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, ncolours, cpp = map(int, rows[0].split()[:4])
    colours = {}
    for row in rows[1:1 + ncolours]:
        key, fields = row[:cpp], row[cpp:].split()
        value = fields[fields.index("c") + 1]
        colours[key] = None if value.lower() == "none" else bytes.fromhex(value.lstrip("#")[:6])
    pixels = [[colours[row[x * cpp:(x + 1) * cpp]] for x in range(width)]
              for row in rows[1 + ncolours:1 + ncolours + height]]
    return width, height, pixels


def ico(width, height, pixels):
    # A 32-bit BGRA bitmap, bottom row first, then the (unused) AND mask.
    xor = b"".join(bytes((c[2], c[1], c[0], 255)) if c else b"\0\0\0\0"
                   for row in reversed(pixels) for c in row)
    mask_row = ((width + 31) // 32) * 4
    mask = bytearray(mask_row * height)
    for y, row in enumerate(reversed(pixels)):
        for x, c in enumerate(row):
            if c is None:
                mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    return (struct.pack("<HHH", 0, 1, 1) +
            struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), 22) +
            image)


if __name__ == "__main__":
    w, h, p = read_xpm(sys.argv[1])
    open(sys.argv[2], "wb").write(ico(w, h, p))
