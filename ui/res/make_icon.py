#!/usr/bin/env python3
"""Draws the KeyEntry program icon, keyentry.ico (Python 3, stdlib only).

The picture: an identity card (blue band, photo, text lines) with a keyboard
key in front of it, whose face carries an "enter" arrow: card fields turned
into typed keys.

The .ico holds two images, 32x32 and 16x16, each a 256-colour (8 bits per
pixel, palettized) bitmap with a 1-bit transparency (AND) mask. The shapes
are drawn in a 32-unit square, supersampled and reduced to a palette.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 6  # supersampling per axis

# Colours (r, g, b).
CARD = (238, 244, 251)
CARD_EDGE = (36, 74, 140)
BAND = (52, 112, 196)
PHOTO = (186, 212, 240)
PERSON = (72, 92, 126)
TEXT = (128, 146, 172)
KEY_TOP = (252, 252, 250)
KEY_SIDE = (176, 180, 192)
KEY_EDGE = (56, 60, 74)
ARROW = (214, 96, 32)


# ---------------------------------------------------------------- shapes

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def segment(ax, ay, bx, by, half_width):
    """Thick line with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(1.0, max(0.0, t))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def triangle(ax, ay, bx, by, cx, cy):
    def side(px, py, qx, qy, x, y):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    def inside(x, y):
        d = (side(ax, ay, bx, by, x, y), side(bx, by, cx, cy, x, y), side(cx, cy, ax, ay, x, y))
        return not (min(d) < 0 < max(d))
    return inside


def design(small):
    """(shape, colour) back to front, in a 32 x 32 unit square."""
    if small:  # edges on the 2-unit pixel grid
        card = rounded_rect(0.0, 4.0, 28.0, 24.0, 2.0)
        card_inner = rounded_rect(2.0, 6.0, 26.0, 22.0, 0.0)
        band_end = 10.0
    else:
        card = rounded_rect(0.5, 3.5, 27.5, 23.5, 2.5)
        card_inner = rounded_rect(1.5, 4.5, 26.5, 22.5, 1.6)
        band_end = 9.0
    shapes = [
        (card, CARD_EDGE),
        (card_inner, CARD),
        (both(card_inner, lambda x, y: y < band_end), BAND),
    ]
    if small:  # edges on the 2-unit pixel grid
        shapes += [
            (rounded_rect(4.0, 10.0, 10.0, 20.0, 0.0), PHOTO),
            (rounded_rect(6.0, 12.0, 8.0, 14.0, 0.0), PERSON),
            (rounded_rect(4.0, 16.0, 10.0, 20.0, 0.0), PERSON),
            (rounded_rect(12.0, 12.0, 24.0, 14.0, 0.0), TEXT),
        ]
    else:
        photo = rounded_rect(3.5, 10.5, 11.5, 20.5, 0.8)
        shapes += [
            (photo, PHOTO),
            (both(photo, ellipse(7.5, 21.5, 4.2, 4.0)), PERSON),
            (ellipse(7.5, 14.0, 2.0, 2.4), PERSON),
            (rounded_rect(13.5, 11.0, 24.5, 12.2, 0.6), TEXT),
            (rounded_rect(13.5, 14.0, 22.0, 15.2, 0.6), TEXT),
            (rounded_rect(13.5, 17.0, 18.0, 18.2, 0.6), TEXT),
        ]
    # The key: dark outline, grey sides, light face, enter arrow on the face.
    if small:  # edges on the 2-unit pixel grid
        shapes += [
            (rounded_rect(14.0, 14.0, 32.0, 32.0, 2.0), KEY_EDGE),
            (rounded_rect(16.0, 16.0, 30.0, 30.0, 0.0), KEY_SIDE),
            (rounded_rect(16.0, 16.0, 30.0, 26.0, 0.0), KEY_TOP),
            (rounded_rect(24.0, 18.0, 26.0, 24.0, 0.0), ARROW),
            (rounded_rect(20.0, 22.0, 26.0, 24.0, 0.0), ARROW),
            (rounded_rect(20.0, 20.0, 22.0, 26.0, 0.0), ARROW),
            (rounded_rect(18.0, 22.0, 20.0, 24.0, 0.0), ARROW),
        ]
    else:
        shapes += [
            (rounded_rect(13.5, 14.5, 31.5, 31.5, 3.0), KEY_EDGE),
            (rounded_rect(14.5, 15.5, 30.5, 30.5, 2.2), KEY_SIDE),
            (rounded_rect(15.5, 15.8, 29.5, 27.6, 1.8), KEY_TOP),
            (segment(25.5, 18.5, 25.5, 23.5, 1.0), ARROW),
            (segment(25.5, 23.5, 20.5, 23.5, 1.0), ARROW),
            (triangle(17.2, 23.5, 21.6, 19.9, 21.6, 27.1), ARROW),
        ]
    return shapes


# ---------------------------------------------------------------- raster

def render(size, shapes):
    """Rows of (r, g, b) or None (transparent), top row first."""
    scale = 32.0 / size
    n = SAMPLES * SAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                y = (py + (sy + 0.5) / SAMPLES) * scale
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * scale
                    colour = None
                    for inside, fill in shapes:
                        if inside(x, y):
                            colour = fill
                    if colour is not None:
                        covered += 1
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
            if covered * 2 < n:
                row.append(None)
            else:
                row.append(tuple((v + covered // 2) // covered for v in acc))
        rows.append(row)
    return rows


def median_cut(colours, count):
    """Reduces a list of (r, g, b) (with repeats) to at most `count` colours."""
    boxes = [list(colours)]
    while len(boxes) < count:
        # Split the box with the widest channel range.
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for ch in range(3):
                values = [c[ch] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    return [tuple(sum(c[ch] for c in box) // len(box) for ch in range(3)) for box in boxes]


def palettize(rows):
    """(palette of 256 colours, rows of indices, rows of mask bits)."""
    opaque = [c for row in rows for c in row if c is not None]
    unique = sorted(set(opaque))
    colours = unique if len(unique) <= 255 else median_cut(opaque, 255)
    palette = [(0, 0, 0)] + colours  # index 0: black behind transparent pixels
    palette += [(0, 0, 0)] * (256 - len(palette))
    lookup = {}

    def index(c):
        if c not in lookup:
            lookup[c] = min(range(1, len(colours) + 1),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], c)))
        return lookup[c]

    indices = [[0 if c is None else index(c) for c in row] for row in rows]
    mask = [[1 if c is None else 0 for c in row] for row in rows]
    return palette, indices, mask


def icon_image(size, small):
    """One .ico image: BITMAPINFOHEADER, palette, XOR bits, AND mask."""
    palette, indices, mask = palettize(render(size, design(small)))
    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(indices):
        xor += bytes(row) + bytes(xor_stride - size)
    and_bits = bytearray()
    for row in reversed(mask):
        line = bytearray(and_stride)
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        and_bits += line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         len(xor) + len(and_bits), 0, 0, 256, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(and_bits)


def ico(images):
    """ICONDIR + entries + images; `images` is a list of (size, bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = b""
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
        blobs += data
    return out + blobs


def main():
    data = ico([(32, icon_image(32, False)), (16, icon_image(16, True))])
    with open(os.path.join(HERE, "keyentry.ico"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
