#!/usr/bin/env python3
"""Draws Quelvani's icon: a crosshair reticle on a dark disc.

Writes, next to this script:
  image1.dib .. image8.dib  the icon images (BITMAPINFOHEADER, palette, colour
                            bits, AND mask), stored as RT_ICON resources 1..8
  group.bin                 the icon group that lists them (RT_GROUP_ICON)
  quelvani.ico              the same images as an .ico file, for viewing

The drawing is measured in pixels of the target size, so the 16 x 16 image
keeps 2-pixel arms on whole pixels and stays crisp rather than blurred.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# (size, bits per pixel), in the order the group lists them.
IMAGES = [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 32), (16, 32)]

# The standard 16-colour VGA palette, in the platform's index order.
VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def palette_256():
    """VGA first, then the 6x6x6 colour cube and a grey ramp: 256 entries."""
    levels = [0, 51, 102, 153, 204, 255]
    cube = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [(v, v, v) for v in range(8, 248, 10)]
    pal = VGA + cube + greys
    assert len(pal) == 256
    return pal


SKY = (0x10, 0x18, 0x50)
RIM = (0xC0, 0xC0, 0xC0)
CROSS = (0xFF, 0xFF, 0xFF)
DOT = (0xFF, 0x20, 0x20)


def shade(size, x, y):
    """Colour and coverage (0 or 1) of one point of the icon, in pixels."""
    c = size / 2.0
    dx, dy = x - c, y - c
    r = (dx * dx + dy * dy) ** 0.5
    outer = c - 0.25
    rim = max(1.0, size / 16.0)
    half_arm = 1.0                 # arms are 2 pixels wide at every size
    gap = max(2.0, size / 8.0)     # the arms stop short of the centre
    dot = max(1.0, size / 16.0)
    if r > outer:
        return None
    if abs(dx) <= dot and abs(dy) <= dot:
        return DOT
    if r > outer - rim:
        return RIM
    if (abs(dx) <= half_arm and abs(dy) >= gap) or (abs(dy) <= half_arm and abs(dx) >= gap):
        return CROSS
    return SKY


def render(size, samples=4):
    """Rows top to bottom of (r, g, b, alpha 0..255), supersampled."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = []
            for sy in range(samples):
                for sx in range(samples):
                    hit = shade(size, px + (sx + 0.5) / samples, py + (sy + 0.5) / samples)
                    if hit:
                        hits.append(hit)
            if not hits:
                row.append((0, 0, 0, 0))
                continue
            n = len(hits)
            avg = tuple(round(sum(h[i] for h in hits) / n) for i in range(3))
            row.append(avg + (round(255 * n / (samples * samples)),))
        rows.append(row)
    return rows


def nearest(palette, colour, allowed=None):
    return min(allowed or range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def pack_bits(values, bits):
    """One row of pixel indices (or mask bits), padded to 4 bytes."""
    out = bytearray()
    per_byte = 8 // bits
    for i in range(0, len(values), per_byte):
        byte = 0
        for j, v in enumerate(values[i:i + per_byte]):
            byte |= v << (8 - bits * (j + 1))
        out.append(byte)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def image(size, bpp):
    rows = render(size)
    # Opaque where at least half covered; the AND mask shows the rest through.
    mask = [[0 if px[3] >= 128 else 1 for px in row] for row in rows]
    palette = VGA if bpp == 4 else palette_256() if bpp == 8 else []
    # On 16 colours, edge blends would land on unrelated hues: keep to the
    # drawing's own colours and grey.
    allowed = None
    if bpp == 4:
        allowed = sorted({nearest(palette, c) for c in (SKY, RIM, CROSS, DOT)} | {8})
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0,
                         0, 0, 0, len(palette), 0)
    body = bytearray()
    for r, g, b in palette:
        body += bytes((b, g, r, 0))
    for y in reversed(range(size)):  # bottom-up
        row = rows[y]
        if bpp == 32:
            for x, (r, g, b, a) in enumerate(row):
                body += bytes((b, g, r, a) if a else (0, 0, 0, 0))
        else:
            idx = [0 if mask[y][x] else nearest(palette, row[x][:3], allowed) for x in range(size)]
            body += pack_bits(idx, bpp)
    for y in reversed(range(size)):
        body += pack_bits(mask[y], 1)
    return header + bytes(body)


def main():
    blobs = [image(size, bpp) for size, bpp in IMAGES]
    for n, blob in enumerate(blobs, 1):
        with open(os.path.join(HERE, 'image%d.dib' % n), 'wb') as f:
            f.write(blob)

    def entry(size, bpp, blob):
        colours = 16 if bpp == 4 else 0
        return struct.pack('<BBBBHHI', size % 256, size % 256, colours, 0, 1, bpp, len(blob))

    group = struct.pack('<HHH', 0, 1, len(IMAGES))
    for n, ((size, bpp), blob) in enumerate(zip(IMAGES, blobs), 1):
        group += entry(size, bpp, blob) + struct.pack('<H', n)
    with open(os.path.join(HERE, 'group.bin'), 'wb') as f:
        f.write(group)

    ico = struct.pack('<HHH', 0, 1, len(IMAGES))
    offset = 6 + 16 * len(IMAGES)
    for (size, bpp), blob in zip(IMAGES, blobs):
        ico += entry(size, bpp, blob) + struct.pack('<I', offset)
        offset += len(blob)
    with open(os.path.join(HERE, 'quelvani.ico'), 'wb') as f:
        f.write(ico + b''.join(blobs))


if __name__ == '__main__':
    main()
