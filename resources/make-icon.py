#!/usr/bin/env python3
"""Draws the launcher's icon, a yellow "Z" with an arrow on a blue disc, and
writes every file made from it.  The shapes below are the icon's one source:

    zarnolaunch.ico                               Windows: 16, 24, 32 and 48
                                                  pixels as 32-bit images with
                                                  alpha (Windows XP reads
                                                  them), 256 pixels as PNG
    hicolor/<n>x<n>/apps/zarnolaunch.png          the desktop's sizes, 16 to 256
    hicolor/scalable/apps/zarnolaunch.svg         the shapes themselves
    zarnolaunch-setup.bmp                         the picture at the left of
                                                  the setup's and the
                                                  uninstaller's first and last
                                                  pages, 164 x 314, 24-bit

The files are committed, so that a build needs no Python.  After a change
here, redraw them all and commit them with it:

    python3 resources/make-icon.py          writes into resources/
    python3 resources/make-icon.py DIR      writes into DIR instead

Only the standard library is used.  The pixels come out the same on any
machine, and so do the files while zlib compresses as it does; a test draws
them anew and compares.
"""
import math
import os
import struct
import sys
import zlib

# The design, on a 256-unit square: a dark rim, a navy ring and a blue disc;
# on it a "Z" and, at its right, a white arrow head: "go".
CENTRE = 128
RADII = (126, 117, 104)                      # rim, ring, disc
RIM, RING, DISC = (0x0B, 0x1A, 0x3C), (0x1B, 0x3E, 0x9E), (0x2E, 0x6F, 0xE6)
YELLOW, WHITE = (0xFF, 0xD2, 0x1A), (0xFF, 0xFF, 0xFF)
Z_LEFT, Z_RIGHT, Z_TOP, Z_BOTTOM, Z_BAR = 56, 180, 64, 192, 26
Z_SLANT = 40          # the diagonal's width along a row
ARROW = ((194, 100), (230, 128), (194, 156))

ICO_SIZES = (16, 24, 32, 48, 256)            # the last one is stored as PNG
# The setup's picture: Modern UI's size, the icon on a band from the ring's
# blue at the top to the rim's at the bottom.
PANEL_WIDTH, PANEL_HEIGHT, PANEL_ICON, PANEL_TOP = 164, 314, 128, 40
HICOLOR_SIZES = (16, 24, 32, 48, 64, 128, 256)
SUBROWS = 16          # samples down each pixel; across, coverage is exact


def z_outline(scale, snap):
    """The "Z" as one polygon, clockwise from its top left, at scale pixels a
    unit.  snap places a coordinate on the pixel grid, so that the bars and
    sides stay sharp when small; a bar keeps at least one pixel."""
    left, right = snap(Z_LEFT * scale), snap(Z_RIGHT * scale)
    top, bottom = snap(Z_TOP * scale), snap(Z_BOTTOM * scale)
    bar = max(snap(Z_BAR * scale), 1)
    under, over = top + bar, bottom - bar
    slant = Z_SLANT * scale
    return ((left, top), (right, top), (right, under), (left + slant, over), (right, over),
            (right, bottom), (left, bottom), (left, over), (right - slant, under), (left, under))


def shapes(size):
    """(colour, kind, geometry) in painting order, in pixels of an image of
    size x size; kind is "circle" (x, y, r) or "polygon" (points)."""
    s = size / 256
    # Each ring keeps at least one pixel, so that the small sizes keep the look.
    r0 = RADII[0] * s
    r1 = min(RADII[1] * s, r0 - 1)
    r2 = min(RADII[2] * s, r1 - 1)
    c = CENTRE * s
    return [(RIM, "circle", (c, c, r0)), (RING, "circle", (c, c, r1)),
            (DISC, "circle", (c, c, r2)), (YELLOW, "polygon", z_outline(s, round)),
            (WHITE, "polygon", tuple((x * s, y * s) for x, y in ARROW))]


def spans(kind, geometry, y):
    """The x intervals of a shape on the horizontal line at y."""
    if kind == "circle":
        cx, cy, r = geometry
        d = r * r - (y - cy) ** 2
        if d <= 0:
            return []
        w = math.sqrt(d)
        return [(cx - w, cx + w)]
    crossings = []
    points = geometry
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        if (y0 <= y) != (y1 <= y):
            crossings.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
    crossings.sort()
    return list(zip(crossings[::2], crossings[1::2]))


def coverage(size, kind, geometry):
    """How much of each pixel the shape covers, 0 to 1, row by row."""
    rows = []
    for row in range(size):
        acc = [0.0] * (size + 1)
        full = [0] * (size + 1)  # difference array of wholly covered pixels
        for k in range(SUBROWS):
            for a, b in spans(kind, geometry, row + (k + 0.5) / SUBROWS):
                a, b = max(a, 0.0), min(b, float(size))
                if a >= b:
                    continue
                ia, ib = int(a), int(b)
                if ia == ib:
                    acc[ia] += b - a
                    continue
                acc[ia] += ia + 1 - a
                if ib < size:
                    acc[ib] += b - ib
                full[ia + 1] += 1
                full[ib] -= 1
        run, line = 0, []
        for x in range(size):
            run += full[x]
            # Rounded to as many steps as there are samples down: no eye
            # tells more apart at an edge, and the PNG compresses far better.
            line.append(round(acc[x] + run) / SUBROWS)
        rows.append(line)
    return rows


def draw(size):
    """The icon as rows of (red, green, blue, alpha) bytes, straight alpha."""
    # Premultiplied colour and alpha, each shape painted over the last.
    pixels = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for colour, kind, geometry in shapes(size):
        for y, line in enumerate(coverage(size, kind, geometry)):
            for x, a in enumerate(line):
                if a <= 0:
                    continue
                p = pixels[y][x]
                for i in range(3):
                    p[i] = colour[i] / 255 * a + p[i] * (1 - a)
                p[3] = a + p[3] * (1 - a)
    image = []
    for line in pixels:
        out = []
        for r, g, b, a in line:
            alpha = round(a * 255)
            if alpha == 0:
                out.append((0, 0, 0, 0))
            else:
                out.append(tuple(min(255, round(v / a * 255)) for v in (r, g, b)) + (alpha,))
        image.append(out)
    return image


# --- file formats -----------------------------------------------------------

def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def png(image):
    """8-bit RGBA.  Each row takes the filter whose bytes sum smallest as
    signed values, the usual rule, which compresses flat areas best."""
    size = len(image)
    raw, previous = bytearray(), bytes(size * 4)
    for line in image:
        row = bytes(v for pixel in line for v in pixel)
        candidates = []
        for kind in range(5):
            out = bytearray([kind])
            for i, v in enumerate(row):
                left = row[i - 4] if i >= 4 else 0
                up = previous[i]
                corner = previous[i - 4] if i >= 4 else 0
                predicted = (0, left, up, (left + up) // 2, paeth(left, up, corner))[kind]
                out.append((v - predicted) & 0xFF)
            candidates.append((sum(min(b, 256 - b) for b in out[1:]), kind, out))
        raw += min(candidates)[2]
        previous = row
    # Rows of pixels alike compress best unfiltered; take whichever is smaller.
    plain = b"".join(b"\0" + bytes(v for pixel in line for v in pixel) for line in image)
    data = min((zlib.compress(bytes(raw), 9), zlib.compress(plain, 9)), key=len)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def dib(image):
    """An icon image as Windows stores it: a BITMAPINFOHEADER of twice the
    height, the pixels bottom-up as BGRA, then the 1-bit mask, which marks
    the wholly transparent pixels for programs that ignore alpha."""
    size = len(image)
    pixels, mask = bytearray(), bytearray()
    stride = (size + 31) // 32 * 4
    for line in reversed(image):
        bits = 0
        for x, (r, g, b, a) in enumerate(line):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits |= 1 << (stride * 8 - 1 - x)
        mask += bits.to_bytes(stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """images: (size, data) pairs.  A size of 256 is written as 0."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def panel():
    """The setup's picture as rows of (red, green, blue): the icon drawn over
    the band, as Windows would blend it."""
    icon = draw(PANEL_ICON)
    left = (PANEL_WIDTH - PANEL_ICON) // 2
    rows = []
    for y in range(PANEL_HEIGHT):
        t = y / (PANEL_HEIGHT - 1)
        band = tuple(round(a + (b - a) * t) for a, b in zip(RING, RIM))
        line = [band] * PANEL_WIDTH
        if PANEL_TOP <= y < PANEL_TOP + PANEL_ICON:
            for x, (r, g, b, a) in enumerate(icon[y - PANEL_TOP]):
                line[left + x] = tuple(round((v * a + u * (255 - a)) / 255)
                                       for v, u in zip((r, g, b), band))
        rows.append(line)
    return rows


def bmp(rows):
    """A 24-bit Windows bitmap file, bottom-up, as NSIS loads it."""
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes(v for r, g, b in line for v in (b, g, r)).ljust(stride, b"\0")
                      for line in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def svg():
    """The unsnapped shapes, in the same units as above."""
    hexa = "#{:02x}{:02x}{:02x}".format
    circles = "".join(
        f'  <circle cx="{CENTRE}" cy="{CENTRE}" r="{r}" fill="{hexa(*colour)}"/>\n'
        for r, colour in zip(RADII, (RIM, RING, DISC)))

    def path(points):
        return "M" + "L".join(f"{x:g} {y:g}" for x, y in points) + "Z"
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
            + circles
            + f'  <path d="{path(z_outline(1, lambda v: v))}" fill="{hexa(*YELLOW)}"/>\n'
            + f'  <path d="{path(ARROW)}" fill="{hexa(*WHITE)}"/>\n'
            + "</svg>\n").encode()


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main(args):
    folder = args[0] if args else os.path.dirname(os.path.abspath(__file__))
    images = {size: draw(size) for size in sorted(set(ICO_SIZES + HICOLOR_SIZES))}
    pngs = {size: png(images[size]) for size in HICOLOR_SIZES}
    write(os.path.join(folder, "zarnolaunch.ico"),
          ico([(size, pngs[size] if size == 256 else dib(images[size])) for size in ICO_SIZES]))
    for size in HICOLOR_SIZES:
        write(os.path.join(folder, "hicolor", f"{size}x{size}", "apps", "zarnolaunch.png"), pngs[size])
    write(os.path.join(folder, "hicolor", "scalable", "apps", "zarnolaunch.svg"), svg())
    write(os.path.join(folder, "zarnolaunch-setup.bmp"), bmp(panel()))


if __name__ == "__main__":
    main(sys.argv[1:])
