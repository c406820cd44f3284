#!/usr/bin/env python3
"""Draws the stub's icon, a parcel with an arrow pointing into it, and writes it
as an .ico file with ten images: 48, 32, 24 and 16 pixels in 32-bit colour
with alpha, 48, 32 and 16 pixels in 256 colours, and 48, 32 and 16 pixels in
16 colours. The resource compiler numbers them 1 to 10 in this order. The
32-bit images of 24 pixels and more are stored as PNG, as icons allow since
Windows Vista: the stub carries the icon in every SFX file, and as bitmaps
those three images alone would take a quarter of the stub. The 16-pixel one
stays a bitmap, as do the paletted ones, for the systems that read no PNG.

    python3 stub/make_icon.py stub/sfxhead.ico
"""
import struct
import sys
import zlib
from collections import Counter

# Shapes, back to front, in a unit square with y pointing down:
# (polygon, fill colour, outline colour).
LID = [(0.08, 0.44), (0.92, 0.44), (0.84, 0.30), (0.16, 0.30)]
BODY = [(0.14, 0.44), (0.86, 0.44), (0.86, 0.94), (0.14, 0.94)]
BAND = [(0.42, 0.44), (0.58, 0.44), (0.58, 0.94), (0.42, 0.94)]
ARROW = [(0.40, 0.04), (0.60, 0.04), (0.60, 0.40), (0.78, 0.40), (0.50, 0.72), (0.22, 0.40), (0.40, 0.40)]
SHAPES = [
    (BODY, (0xD6, 0x97, 0x4B), (0x7A, 0x4A, 0x18)),
    (BAND, (0xB8, 0x7A, 0x36), (0x7A, 0x4A, 0x18)),
    (LID, (0xEE, 0xC0, 0x7C), (0x7A, 0x4A, 0x18)),
    (ARROW, (0x2A, 0x7F, 0xE0), (0x10, 0x3C, 0x80)),
]

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

SUPERSAMPLE = 4


def inside(poly, x, y):
    result = False
    j = len(poly) - 1
    for i in range(len(poly)):
        (xi, yi), (xj, yj) = poly[i], poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def edge_distance(poly, x, y):
    best = 1e9
    for i in range(len(poly)):
        (ax, ay), (bx, by) = poly[i], poly[(i + 1) % len(poly)]
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx - x, ay + t * dy - y
        best = min(best, (px * px + py * py) ** 0.5)
    return best


def render(size):
    """Rows of (r, g, b, a), top row first."""
    line = max(1.0, round(size / 22.0)) / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLE) / size
                    colour = None
                    for poly, fill, outline in SHAPES:
                        if inside(poly, x, y):
                            colour = outline if edge_distance(poly, x, y) < line else fill
                    if colour:
                        samples.append(colour)
            n = SUPERSAMPLE * SUPERSAMPLE
            if samples:
                r = sum(c[0] for c in samples) // len(samples)
                g = sum(c[1] for c in samples) // len(samples)
                b = sum(c[2] for c in samples) // len(samples)
                row.append((r, g, b, 255 * len(samples) // n))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def mask_rows(rows):
    """AND mask, bottom row first: 1 where the pixel is transparent."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def bitmap_header(size, bpp, colours):
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, 0, 0, 0, colours, 0)


def image_32(rows):
    size = len(rows)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    return bitmap_header(size, 32, 0) + pixels + mask_rows(rows)


def image_png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def image_indexed(rows, bpp):
    size = len(rows)
    if bpp == 4:
        palette = VGA16
    else:
        counts = Counter(p[:3] for row in rows for p in row if p[3] >= 128)
        palette = [c for c, _ in counts.most_common(255)] + [(0, 0, 0)]
        palette += [(0, 0, 0)] * (256 - len(palette))
    cache = {}
    indices = []
    for row in reversed(rows):
        line = []
        for p in row:
            if p[3] < 128:
                line.append(0 if bpp == 4 else 255)
            else:
                if p[:3] not in cache:
                    cache[p[:3]] = nearest(palette, p[:3])
                line.append(cache[p[:3]])
        indices.append(line)
    stride = ((size * bpp + 31) // 32) * 4
    data = b""
    for line in indices:
        packed = bytearray(stride)
        for x, index in enumerate(line):
            if bpp == 8:
                packed[x] = index
            else:
                packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        data += bytes(packed)
    quad = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return bitmap_header(size, bpp, len(palette)) + quad + data + mask_rows(rows)


def main(path):
    plan = [(48, 32), (32, 32), (24, 32), (16, 32), (48, 8), (32, 8), (16, 8), (48, 4), (32, 4), (16, 4)]
    rendered = {}
    images = []
    for size, bpp in plan:
        rows = rendered.setdefault(size, render(size))
        if bpp == 32:
            data = image_png(rows) if size >= 24 else image_32(rows)
        else:
            data = image_indexed(rows, bpp)
        images.append((size, bpp, data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    directory = b""
    for size, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(header + directory + b"".join(data for _, _, data in images))


if __name__ == "__main__":
    main(sys.argv[1])
