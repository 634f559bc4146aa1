#!/usr/bin/env python3
"""Draws Tolvar's application icon and writes Tolvar.ico beside this script.

Artwork: a blue rounded tile carrying a white puzzle piece (a component) and a
green badge with a white tick (registered). Each size is drawn supersampled,
averaged down, quantized to its own 256-colour palette and stored as a
palettized BMP with an AND mask, the form every Windows version reads.

Standard library only; the output is deterministic, so the committed .ico can
be regenerated and compared.  Usage: python3 res/make_icon.py [output.ico]
"""

import math
import os
import struct
import sys

SIZES = (32, 16)  # first entry is the large image
SUPERSAMPLE = 8
PALETTE_SIZE = 256

# Colours (r, g, b).
TILE_TOP = (74, 144, 226)
TILE_BOTTOM = (28, 86, 178)
TILE_EDGE = (18, 60, 132)
PIECE = (255, 255, 255)
PIECE_SHADOW = (20, 56, 120)
BADGE_TOP = (76, 196, 84)
BADGE_BOTTOM = (34, 140, 52)
BADGE_RING = (255, 255, 255)
BADGE_EDGE = (18, 96, 36)
TICK = (255, 255, 255)


# ---- geometry, in pixels of the target size -------------------------------------------


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    dx = max(left + radius - x, 0.0, x - (right - radius))
    dy = max(top + radius - y, 0.0, y - (bottom - radius))
    return dx * dx + dy * dy <= radius * radius


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment_distance(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
    t = min(1.0, max(0.0, t))
    px, py = ax + t * vx, ay + t * vy
    return math.hypot(x - px, y - py)


def lerp(c0, c1, t):
    t = min(1.0, max(0.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


class Artwork:
    """Shape parameters for one target size, in its pixels; 16x16 gets its own pixel-aligned set."""

    def __init__(self, n):
        if n <= 16:
            self.tile_radius = 3.0
            self.body = (2.0, 5.0, 8.0, 11.0)
            self.knob_r = 1.5
            self.knob_top = (5.0, 3.2)
            self.knob_right = (9.8, 7.4)
            self.necks = ((4.3, 3.0, 5.7, 5.0), (8.0, 6.7, 9.5, 8.1))
            self.notch = None  # too small to read at this size
            self.shadow = 0.0
            self.badge = (12.2, 12.2, 3.8)
            self.ring = 1.0
            self.ring_colour = BADGE_EDGE
            self.tick_w = 0.75
            self.tick = ((10.0, 11.8), (11.5, 13.3), (14.3, 10.5))
        else:
            s = n / 32.0
            self.tile_radius = 6.0 * s
            self.body = (5.0 * s, 10.0 * s, 17.0 * s, 22.0 * s)
            self.knob_r = 2.9 * s
            self.knob_top = (11.0 * s, 6.6 * s)
            self.knob_right = (20.4 * s, 16.0 * s)
            self.necks = (
                (9.6 * s, 6.0 * s, 12.4 * s, 10.5 * s),
                (16.5 * s, 14.6 * s, 21.0 * s, 17.4 * s),
            )
            self.notch = (5.0 * s, 16.0 * s, 2.3 * s)
            self.shadow = 1.0 * s
            self.badge = (24.0 * s, 24.0 * s, 7.4 * s)
            self.ring = 1.4 * s
            self.ring_colour = BADGE_RING
            self.tick_w = 1.3 * s
            self.tick = tuple((x * s, y * s) for x, y in ((20.2, 24.2), (22.9, 26.9), (27.6, 21.2)))
        self.tile = (0.0, 0.0, float(n), float(n))
        self.edge = 1.0  # one pixel at every size

    def in_piece(self, x, y):
        bl, bt, br, bb = self.body
        inside = (
            in_rounded_rect(x, y, bl, bt, br, bb, 0.8)
            or in_circle(x, y, *self.knob_top, self.knob_r)
            or in_circle(x, y, *self.knob_right, self.knob_r)
            or any(l <= x <= r and t <= y <= b for l, t, r, b in self.necks)
        )
        if inside and self.notch and in_circle(x, y, *self.notch):
            return False
        return inside

    def sample(self, x, y):
        """Colour and opacity (r, g, b, a) of the point (x, y)."""
        bx, by, br = self.badge
        if in_circle(x, y, bx, by, br):
            if not in_circle(x, y, bx, by, br - self.ring):
                return self.ring_colour + (1.0,)
            (ax, ay), (mx, my), (zx, zy) = self.tick
            d = min(segment_distance(x, y, ax, ay, mx, my), segment_distance(x, y, mx, my, zx, zy))
            if d <= self.tick_w:
                return TICK + (1.0,)
            return lerp(BADGE_TOP, BADGE_BOTTOM, (y - (by - br)) / (2 * br)) + (1.0,)
        left, top, right, bottom = self.tile
        if not in_rounded_rect(x, y, left, top, right, bottom, self.tile_radius):
            return (0.0, 0.0, 0.0, 0.0)
        if self.in_piece(x, y):
            return PIECE + (1.0,)
        e = self.edge
        inner_radius = max(self.tile_radius - e, 0.5)
        if not in_rounded_rect(x, y, left + e, top + e, right - e, bottom - e, inner_radius):
            return TILE_EDGE + (1.0,)
        colour = lerp(TILE_TOP, TILE_BOTTOM, (y - top) / (bottom - top))
        if self.shadow and self.in_piece(x - self.shadow, y - self.shadow):
            colour = lerp(colour, PIECE_SHADOW, 0.45)
        return colour + (1.0,)


def render(n):
    """Averages SUPERSAMPLE x SUPERSAMPLE samples per pixel; returns rows of (r, g, b, a)."""
    art = Artwork(n)
    step = 1.0 / SUPERSAMPLE
    rows = []
    for py in range(n):
        row = []
        for px in range(n):
            r = g = b = a = 0.0
            for sy in range(SUPERSAMPLE):
                y = py + (sy + 0.5) * step
                for sx in range(SUPERSAMPLE):
                    x = px + (sx + 0.5) * step
                    cr, cg, cb, ca = art.sample(x, y)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            count = SUPERSAMPLE * SUPERSAMPLE
            if a > 0:
                # Unpremultiplied: the edge keeps its colour, the mask decides coverage.
                row.append((r / a, g / a, b / a, a / count))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


# ---- quantization ----------------------------------------------------------------------


def median_cut(colours, limit):
    """colours: {(r, g, b): count}. Returns at most `limit` palette colours."""
    if len(colours) <= limit:
        return sorted(colours)
    boxes = [sorted(colours.items())]

    def spread(box):
        ranges = [max(c[i] for c, _ in box) - min(c[i] for c, _ in box) for i in range(3)]
        channel = max(range(3), key=lambda i: ranges[i])
        return ranges[channel] * sum(w for _, w in box), channel

    while len(boxes) < limit:
        scored = [(spread(box), i) for i, box in enumerate(boxes) if len(box) > 1]
        if not scored:
            break
        (score, channel), index = max(scored, key=lambda t: (t[0][0], -t[1]))
        if score == 0:
            break
        box = sorted(boxes.pop(index), key=lambda cw: (cw[0][channel], cw[0]))
        total = sum(w for _, w in box)
        acc = 0
        cut = 1
        for i, (_, w) in enumerate(box[:-1]):
            acc += w
            cut = i + 1
            if acc * 2 >= total:
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(w for _, w in box)
        palette.append(
            tuple(round(sum(c[i] * w for c, w in box) / total) for i in range(3))
        )
    return sorted(set(palette))


def quantize(rows):
    """Returns (palette, indices, mask); index 0 is black for the transparent pixels."""
    opaque = {}
    pixels = []
    for row in rows:
        out = []
        for r, g, b, a in row:
            if a >= 0.5:
                c = (round(r), round(g), round(b))
                opaque[c] = opaque.get(c, 0) + 1
                out.append(c)
            else:
                out.append(None)
        pixels.append(out)
    palette = [(0, 0, 0)] + median_cut(opaque, PALETTE_SIZE - 1)
    nearest = {}
    for c in opaque:
        nearest[c] = min(
            range(1, len(palette)),
            key=lambda i: sum((c[k] - palette[i][k]) ** 2 for k in range(3)),
        )
    indices = [[0 if c is None else nearest[c] for c in row] for row in pixels]
    mask = [[1 if c is None else 0 for c in row] for row in pixels]
    palette += [(0, 0, 0)] * (PALETTE_SIZE - len(palette))
    return palette, indices, mask


# ---- ICO writing -----------------------------------------------------------------------


def bmp_image(n, palette, indices, mask):
    xor_stride = (n + 3) & ~3
    and_stride = ((n + 31) // 32) * 4
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        n,  # biWidth
        2 * n,  # biHeight: colour image plus mask
        1,  # biPlanes
        8,  # biBitCount
        0,  # BI_RGB
        (xor_stride + and_stride) * n,  # biSizeImage
        0,
        0,
        PALETTE_SIZE,  # biClrUsed
        0,
    )
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = bytearray()
    and_bits = bytearray()
    for y in reversed(range(n)):  # bottom-up
        xor += bytes(indices[y]) + b"\0" * (xor_stride - n)
        row = bytearray(and_stride)
        for x in range(n):
            if mask[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        and_bits += row
    return header + colours + bytes(xor) + bytes(and_bits)


def write_ico(path, images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for n, blob in images:
        # Width/height 0 would mean 256; colour count 0 means 256 or more.
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "Tolvar.ico")
    images = []
    for n in SIZES:
        palette, indices, mask = quantize(render(n))
        images.append((n, bmp_image(n, palette, indices, mask)))
    write_ico(path, images)


if __name__ == "__main__":
    main()
