#!/usr/bin/env python3
"""Writes the demo cards of the simulated card reader (Python 3, stdlib only).

Output, beside this script:
  cards/demo/wz.txt, cards/demo/zp.bmp      first invented card holder
  cards/second/wz.txt, cards/second/zp.bmp  second invented card holder
  ports.txt  (reader attached at USB port 1001)
  card.txt   (the demo card lies on the reader)

Copy ports.txt, card.txt and cards/ into the folder "reader-sim" beside the
program to let the simulated reader offer the demo card.

wz.txt: the card text in code page 936 (GBK), eight lines each ended by CR LF:
name, sex, nation, birth date, address, identity number, issuing authority,
validity. Some lines keep trailing spaces on purpose. Every person, place and
number here is invented; area code 99xxxx belongs to no region.

zp.bmp: the photo, an uncompressed 24-bit Windows bitmap of a drawn
head-and-shoulders figure.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

ID_WEIGHTS = (7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2)
ID_CHECK = "10X98765432"


def identity_number(area, birth, sequence):
    """18-character identity number with a correct check character."""
    body = "%s%s%03d" % (area, birth, sequence)
    assert len(body) == 17 and body.isdigit()
    total = sum(int(d) * w for d, w in zip(body, ID_WEIGHTS))
    return body + ID_CHECK[total % 11]


def first_sequence(area, birth, male, check):
    """Smallest sequence number for the sex that yields the check character."""
    for sequence in range(1, 1000):
        if (sequence % 2 == 1) == male and identity_number(area, birth, sequence)[-1] == check:
            return sequence
    raise ValueError("no sequence number fits")


# ---------------------------------------------------------------- card text

def card_text(lines):
    return "".join(line + "\r\n" for line in lines).encode("gbk")


DEMO_BIRTH = "19880315"
DEMO_LINES = [
    "林示范  ",
    "男",
    "汉",
    DEMO_BIRTH,
    "青岚市望湖区演示路一百二十八号样板花园小区北区七栋二单元一六零三室 ",
    identity_number("990101", DEMO_BIRTH, first_sequence("990101", DEMO_BIRTH, True, "X")),
    "青岚市公安局望湖分局  ",
    "2016.03.15-2036.03.15",
]

SECOND_BIRTH = "19950720"
SECOND_LINES = [
    "欧阳样例 ",
    "女",
    "蒙古",
    SECOND_BIRTH,
    "青岚市临溪区虚构大道九十九号示例家园三期十二幢一单元八零二室",
    identity_number("990102", SECOND_BIRTH, first_sequence("990102", SECOND_BIRTH, False, "7")),
    "青岚市公安局临溪分局",
    "2021.07.20-2041.07.20 ",
]


# ---------------------------------------------------------------- photo

def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def triangle(ax, ay, bx, by, cx, cy):
    def side(px, py, qx, qy, x, y):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    def inside(x, y):
        d1 = side(ax, ay, bx, by, x, y)
        d2 = side(bx, by, cx, cy, x, y)
        d3 = side(cx, cy, ax, ay, x, y)
        has_neg = d1 < 0 or d2 < 0 or d3 < 0
        has_pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (has_neg and has_pos)

    return inside


def clip(shape, limit):
    return lambda x, y: shape(x, y) and limit(x, y)


def figure(w, h, c, long_hair):
    """Shapes, back to front, in pixel coordinates; c holds the colours."""
    cx = w / 2.0
    head_cy, head_rx, head_ry = h * 0.37, w * 0.21, h * 0.20
    shapes = []
    if long_hair:
        shapes.append((ellipse(cx, h * 0.45, w * 0.30, h * 0.31), c["hair"]))
    shapes += [
        (ellipse(cx, h * 1.03, w * 0.54, h * 0.31), c["clothes"]),
        (rect(cx - w * 0.075, head_cy + head_ry * 0.5, cx + w * 0.075, h * 0.76), c["skin_shade"]),
        (triangle(cx - w * 0.13, h * 0.73, cx + w * 0.13, h * 0.73, cx, h * 0.87), c["collar"]),
        (triangle(cx - w * 0.075, h * 0.72, cx + w * 0.075, h * 0.72, cx, h * 0.81), c["skin_shade"]),
        (ellipse(cx - head_rx * 1.02, head_cy + h * 0.01, w * 0.035, h * 0.05), c["skin_shade"]),
        (ellipse(cx + head_rx * 1.02, head_cy + h * 0.01, w * 0.035, h * 0.05), c["skin_shade"]),
        (ellipse(cx, head_cy, head_rx, head_ry), c["skin"]),
        (clip(ellipse(cx, head_cy - h * 0.035, head_rx * 1.08, head_ry * 0.98),
              lambda x, y: y < head_cy - h * 0.085 + abs(x - cx) * 0.55), c["hair"]),
        (ellipse(cx - w * 0.075, head_cy + h * 0.005, w * 0.018, h * 0.013), c["eyes"]),
        (ellipse(cx + w * 0.075, head_cy + h * 0.005, w * 0.018, h * 0.013), c["eyes"]),
        (clip(ellipse(cx, head_cy + h * 0.085, w * 0.06, h * 0.03),
              lambda x, y: y > head_cy + h * 0.09), c["mouth"]),
    ]
    return shapes


def render(w, h, shapes, background_top, background_bottom, samples=4):
    """Rows of (r, g, b), top row first, with samples x samples antialiasing."""
    rows = []
    n = samples * samples
    for py in range(h):
        t = py / max(1, h - 1)
        bg = tuple(round(a + (b - a) * t) for a, b in zip(background_top, background_bottom))
        row = []
        for px in range(w):
            acc = [0, 0, 0]
            for sy in range(samples):
                y = py + (sy + 0.5) / samples
                for sx in range(samples):
                    x = px + (sx + 0.5) / samples
                    colour = bg
                    for inside, fill in shapes:
                        if inside(x, y):
                            colour = fill
                    acc[0] += colour[0]
                    acc[1] += colour[1]
                    acc[2] += colour[2]
            row.append(tuple((v + n // 2) // n for v in acc))
        rows.append(row)
    return rows


def bmp24(rows, ppm=13780):
    """Uncompressed 24-bit bottom-up Windows bitmap (350 dpi by default)."""
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), ppm, ppm, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


DEMO_COLOURS = {
    "clothes": (44, 56, 84), "collar": (246, 246, 242), "skin": (236, 204, 176),
    "skin_shade": (214, 178, 150), "hair": (32, 28, 30), "eyes": (40, 32, 30),
    "mouth": (176, 96, 92),
}
SECOND_COLOURS = {
    "clothes": (168, 40, 56), "collar": (250, 236, 220), "skin": (242, 214, 192),
    "skin_shade": (222, 188, 164), "hair": (78, 48, 34), "eyes": (52, 36, 30),
    "mouth": (196, 84, 96),
}


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    cards = os.path.join(HERE, "cards")
    write(os.path.join(cards, "demo", "wz.txt"), card_text(DEMO_LINES))
    write(os.path.join(cards, "demo", "zp.bmp"),
          bmp24(render(102, 126, figure(102, 126, DEMO_COLOURS, False),
                       (176, 212, 242), (204, 228, 248))))
    write(os.path.join(cards, "second", "wz.txt"), card_text(SECOND_LINES))
    write(os.path.join(cards, "second", "zp.bmp"),
          bmp24(render(90, 110, figure(90, 110, SECOND_COLOURS, True),
                       (244, 244, 240), (226, 228, 230))))
    write(os.path.join(HERE, "ports.txt"), b"1001\r\n")
    write(os.path.join(HERE, "card.txt"), b"demo\r\n")


if __name__ == "__main__":
    main()
