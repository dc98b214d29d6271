#!/usr/bin/env python3
"""Draws the launcher's icon: a yellow "Z" with an arrow on a blue disc,
32x32 pixels in 16 colours, written as a Windows .ico file and as the PNG
that the Linux launcher installs for the desktop (the build turns the
committed PNG into a byte array, so the launcher carries it).

    python3 resources/make-icon.py resources/zarnolaunch.ico resources/zarnolaunch.png

Each path is written in the format its ending names.  Only the standard
library is used, so that any Python 3 redraws both.
"""
import struct
import sys
import zlib

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0x80), (0x00, 0x80, 0x00), (0x00, 0x80, 0x80),
    (0x80, 0x00, 0x00), (0x80, 0x00, 0x80), (0x80, 0x80, 0x00), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0x00, 0x00, 0xFF), (0x00, 0xFF, 0x00), (0x00, 0xFF, 0xFF),
    (0xFF, 0x00, 0x00), (0xFF, 0x00, 0xFF), (0xFF, 0xFF, 0x00), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, YELLOW, WHITE, BLUE = 0, 4, 11, 15, 12  # indices (palette is BGR)


def pixel(x, y):
    """Colour index and whether the pixel is opaque, for x, y from the top left."""
    dx, dy = x - 15.5, y - 15.5
    r2 = dx * dx + dy * dy
    if r2 > 15.5 * 15.5:
        return 0, False
    if r2 > 14 * 14:
        return BLACK, True
    # The "Z": top bar, bottom bar, and the diagonal between them.
    if 8 <= x <= 23 and (8 <= y <= 10 or 21 <= y <= 23):
        return YELLOW, True
    if 11 <= y <= 20 and abs((x - 8) - (23 - y)) <= 1.5:
        return YELLOW, True
    # A small white arrow head at the right: "go".
    if 25 <= x <= 27 and abs(y - 15.5) <= (27 - x) + 0.5:
        return WHITE, True
    return NAVY if r2 > 11 * 11 else BLUE, True


def write_ico(path):
    xor_rows, and_rows = [], []
    for y in range(31, -1, -1):  # bottom-up
        xor, mask = bytearray(), 0
        for x in range(0, 32, 2):
            a, _ = pixel(x, y)
            b, _ = pixel(x + 1, y)
            xor.append(a << 4 | b)
        for x in range(32):
            if not pixel(x, y)[1]:
                mask |= 1 << (31 - x)
        xor_rows.append(bytes(xor))
        and_rows.append(struct.pack(">I", mask))
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for b, g, r in PALETTE)
    image = (struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
             + palette + b"".join(xor_rows) + b"".join(and_rows))
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def write_png(path):
    """The same pixels as 8-bit RGBA, top-down; transparent outside the disc."""
    rows = bytearray()
    for y in range(32):
        rows.append(0)  # filter type: none
        for x in range(32):
            index, opaque = pixel(x, y)
            blue, green, red = PALETTE[index]
            rows += bytes((red, green, blue, 255 if opaque else 0))
    header = struct.pack(">IIBBBBB", 32, 32, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
                + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9))
                + png_chunk(b"IEND", b""))


def main(paths):
    for path in paths:
        if path.lower().endswith(".png"):
            write_png(path)
        else:
            write_ico(path)


if __name__ == "__main__":
    main(sys.argv[1:] or ["zarnolaunch.ico", "zarnolaunch.png"])
