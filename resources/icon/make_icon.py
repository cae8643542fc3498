#!/usr/bin/env python3
"""Writes resources/corvath.ico: a white "C" holding an amber dot on a blue rounded square.

Thirteen images, in the order windres numbers them (icon ids 1 to 13):
  16, 32, 48 px at 4 bpp (VGA palette), 16, 32, 48 px at 8 bpp (own palette),
  16, 32, 48, 64, 96, 128 px at 32 bpp (BGRA DIB) and 256 px at 32 bpp (PNG).
Standard library only, and deterministic: the same script always writes the same bytes.

Usage: make_icon.py [output.ico]   (default: ../corvath.ico next to this script)
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------------
# Design, in units of the icon's edge (0..1)
# ---------------------------------------------------------------------------------------------

TILE_INSET = 0.03
TILE_RADIUS = 0.2
TILE_BORDER = 0.035
RING_OUTER = 0.33
RING_INNER = 0.19
RING_GAP_HALF_ANGLE = math.radians(42)  # opening of the C, centred on the right
DOT_RADIUS = 0.085

TILE_TOP = (66, 143, 235)
TILE_BOTTOM = (22, 82, 168)
TILE_EDGE = (14, 52, 112)
RING = (255, 255, 255)
DOT = (255, 184, 28)

# The 16 colours every 4-bit display has; 4-bit images use exactly this palette.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Flat colours for 4-bit images: gradients and blending only band at 16 colours.
VGA_TILE = (0, 0, 128)
VGA_EDGE = (0, 0, 0)
VGA_RING = (255, 255, 255)
VGA_DOT = (255, 255, 0)


def rounded_square_distance(x, y):
    """Signed distance from (x, y) to the tile outline; negative inside."""
    half = 0.5 - TILE_INSET
    qx = abs(x - 0.5) - (half - TILE_RADIUS)
    qy = abs(y - 0.5) - (half - TILE_RADIUS)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - TILE_RADIUS


def in_ring(x, y):
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r < RING_INNER or r > RING_OUTER:
        return False
    return abs(math.atan2(dy, dx)) > RING_GAP_HALF_ANGLE


def in_dot(x, y):
    return math.hypot(x - 0.5, y - 0.5) <= DOT_RADIUS


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def shade(x, y, flat):
    """Colour and coverage (0 or 1) of one sample point."""
    d = rounded_square_distance(x, y)
    if d > 0.0:
        return (0, 0, 0), 0
    if in_ring(x, y):
        return (VGA_RING if flat else RING), 1
    if in_dot(x, y):
        return (VGA_DOT if flat else DOT), 1
    if d > -TILE_BORDER:
        return (VGA_EDGE if flat else TILE_EDGE), 1
    return (VGA_TILE if flat else mix(TILE_TOP, TILE_BOTTOM, y)), 1


def render(size, flat):
    """Rows of (r, g, b, a), top row first. Flat images take one sample per pixel so every
    pixel is one of the design's colours; the others average a 4x4 grid of samples."""
    grid = 1 if flat else 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(grid):
                for sx in range(grid):
                    x = (px + (sx + 0.5) / grid) / size
                    y = (py + (sy + 0.5) / grid) / size
                    colour, hit = shade(x, y, flat)
                    if hit:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                # Colour of the covered part only, so edges fade out rather than darken.
                rgb = tuple(round(c / covered) for c in acc)
                row.append(rgb + (round(255 * covered / (grid * grid)),))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------------------------
# Palettes
# ---------------------------------------------------------------------------------------------

def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][c] - rgb[c]) ** 2 for c in range(3)))


def median_cut(colours, limit):
    """Palette of at most `limit` entries from a list of RGB tuples (with repeats)."""
    boxes = [colours]
    while len(boxes) < limit:
        # Split the box with the widest channel range; stop when no box can be split.
        best, best_range, best_channel = None, 0, 0
        for index, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for channel in range(3):
                values = [c[channel] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = index, spread, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_channel])
        middle = len(box) // 2
        boxes += [box[:middle], box[middle:]]
    palette = []
    for box in boxes:
        palette.append(tuple(round(sum(c[i] for c in box) / len(box)) for i in range(3)))
    return palette


# ---------------------------------------------------------------------------------------------
# Icon entries
# ---------------------------------------------------------------------------------------------

def row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def and_mask(rows):
    """1 bpp, bottom row first: set bits are transparent."""
    size = len(rows)
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(row_stride(size, 1))
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib_header(size, bits, image_bytes, colours_used):
    # Height counts the colour bitmap and the AND mask together, as icon DIBs require.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, image_bytes, 0, 0,
                       colours_used, 0)


def palette_entry(size, rows, bits, palette):
    """4 or 8 bpp DIB: header, RGBQUAD palette, indices, AND mask."""
    full = palette + [(0, 0, 0)] * ((1 << bits) - len(palette))
    cache = {}
    pixels = bytearray()
    for row in reversed(rows):
        indices = []
        for pixel in row:
            if pixel[3] < 128:
                indices.append(0)  # hidden by the mask
                continue
            rgb = pixel[:3]
            if rgb not in cache:
                cache[rgb] = nearest(full, rgb)
            indices.append(cache[rgb])
        line = bytearray(row_stride(size, bits))
        for x, index in enumerate(indices):
            if bits == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += line
    mask = and_mask(rows)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in full)
    return dib_header(size, bits, len(pixels) + len(mask), 1 << bits) + quads + pixels + mask


def bgra_entry(size, rows):
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = and_mask(rows)
    return dib_header(size, 32, len(pixels) + len(mask), 0) + pixels + mask


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_entry(size, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def build_images():
    """(size, bits, bytes) in file order."""
    images = []
    for size in (16, 32, 48):
        images.append((size, 4, palette_entry(size, render(size, True), 4, VGA_PALETTE)))
    for size in (16, 32, 48):
        rows = render(size, False)
        opaque = [p[:3] for row in rows for p in row if p[3] >= 128]
        images.append((size, 8, palette_entry(size, rows, 8, median_cut(opaque, 256))))
    for size in (16, 32, 48, 64, 96, 128):
        images.append((size, 32, bgra_entry(size, render(size, False))))
    # Windows has read PNG-compressed 256 px entries since Vista; as a DIB it would be 270 KB.
    images.append((256, 32, png_entry(256, render(256, False))))
    return images


def write_ico(path, images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for size, bits, data in images:
        # 256 is stored as 0; the colour count is only given for images under 8 bpp.
        edge = size if size < 256 else 0
        colours = (1 << bits) if bits < 8 else 0
        directory += struct.pack("<BBBBHHII", edge, edge, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(header + directory + b"".join(data for _, _, data in images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "corvath.ico")
    write_ico(path, build_images())
    return 0


if __name__ == "__main__":
    sys.exit(main())
