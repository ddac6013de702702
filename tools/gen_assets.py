#!/usr/bin/env python3
"""Draws the program's icon and skin bitmaps and writes them into res/.

Standard library only: the BMP and ICO bytes are put together here, so the
pictures can be regenerated on any machine and reviewed as code.

  res/taplinar.ico  icon group 128: 16 x 16 and 32 x 32, 32 bits with alpha
  res/frame.bmp     bitmap 131: 90 x 90, 24 bits, tiling frame texture
  res/buttons.bmp   bitmap 132: 42 x 15, 24 bits, three 14 x 15 button states

Run from anywhere: python3 tools/gen_assets.py [output-dir]
"""

import math
import os
import struct
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    """Blends colour a towards b by t (0..1)."""
    return tuple(clamp(a[i] + (b[i] - a[i]) * t) for i in range(3))


class Canvas:
    """A plain RGBA pixel grid, top row first."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [[fill for _ in range(width)] for _ in range(height)]

    def set(self, x, y, rgba):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = rgba

    def get(self, x, y):
        return self.pixels[y][x]

    def blend(self, x, y, rgb, alpha):
        """Paints rgb over the pixel with coverage alpha (0..1)."""
        if not (0 <= x < self.width and 0 <= y < self.height) or alpha <= 0:
            return
        r, g, b, a = self.pixels[y][x]
        src_a = min(1.0, alpha)
        dst_a = a / 255.0
        out_a = src_a + dst_a * (1 - src_a)
        if out_a <= 0:
            return
        out = [
            (rgb[i] * src_a + (r, g, b)[i] * dst_a * (1 - src_a)) / out_a
            for i in range(3)
        ]
        self.pixels[y][x] = (clamp(out[0]), clamp(out[1]), clamp(out[2]), clamp(out_a * 255))


def coverage(fn, x, y, samples=4):
    """Fraction of the pixel (x, y) for which fn(px, py) holds, by supersampling."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if fn(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                hits += 1
    return hits / float(samples * samples)


def bmp24(canvas, background):
    """A 24-bit bottom-up BMP file; transparent pixels take the background colour."""
    row_size = (canvas.width * 3 + 3) & ~3
    body = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.width):
            r, g, b, a = canvas.get(x, y)
            rgb = mix(background, (r, g, b), a / 255.0)
            row += bytes((rgb[2], rgb[1], rgb[0]))
        row += b"\0" * (row_size - len(row))
        body += row
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(body), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + bytes(body)


def ico_image(canvas):
    """One icon image: a 32-bit BITMAPINFOHEADER image with its AND mask."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = canvas.get(x, y)
            xor += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(w):
            if canvas.get(x, y)[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def ico_file(canvases):
    images = [ico_image(c) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(px, py):
        cx = min(max(px, x0 + radius), x1 - radius)
        cy = min(max(py, y0 + radius), y1 - radius)
        return (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2 and x0 <= px <= x1 and y0 <= py <= y1
    return inside


def draw_icon(size):
    """Two plugs joined by a line with a branch that taps off into a log sheet."""
    c = Canvas(size, size)
    s = size / 32.0
    body = rounded_rect(1 * s, 1 * s, 31 * s, 31 * s, 6 * s)
    top, bottom = (40, 90, 200), (15, 40, 120)
    for y in range(size):
        for x in range(size):
            cov = coverage(body, x, y)
            if cov:
                c.blend(x, y, mix(top, bottom, y / float(size)), cov)

    def shape(fn, rgb):
        for y in range(size):
            for x in range(size):
                cov = coverage(fn, x, y)
                if cov:
                    c.blend(x, y, rgb, cov)

    line_y0, line_y1 = 9.5 * s, 12.5 * s
    plug = (250, 210, 60)
    shape(lambda px, py: 4 * s <= px <= 28 * s and line_y0 <= py <= line_y1, WHITE)
    shape(rounded_rect(3 * s, 6 * s, 9 * s, 16 * s, 1.5 * s), plug)
    shape(rounded_rect(23 * s, 6 * s, 29 * s, 16 * s, 1.5 * s), plug)
    shape(lambda px, py: 14.5 * s <= px <= 17.5 * s and line_y1 <= py <= 18 * s, WHITE)
    shape(rounded_rect(9 * s, 18 * s, 23 * s, 28 * s, 1.5 * s), (245, 245, 235))
    ink = (40, 90, 200)
    for row in (20.5, 23, 25.5):
        shape(lambda px, py, r=row: 11 * s <= px <= 21 * s and r * s <= py <= (r + 1) * s, ink)
    return c


def draw_frame():
    """A tiling texture: white (the skin's key colour) with fine diagonal hatching.

    The period of every element divides 90, so the pattern brush tiles without seams.
    """
    c = Canvas(90, 90, WHITE + (255,))
    hatch = (206, 220, 240)
    dot = (170, 190, 225)
    for y in range(90):
        for x in range(90):
            if (x + y) % 6 == 0:
                c.set(x, y, hatch + (255,))
            if x % 9 == 4 and y % 9 == 4:
                c.set(x, y, dot + (255,))
    return c


def draw_buttons():
    """Three round 14 x 15 button faces in a strip: normal, pressed, hot.

    The background stays pure black: the skin turns black into its face colour
    and treats the bottom-left pixel's colour as transparent. The faces are red;
    the skin derives the other caption buttons from them by swapping channels,
    so the glyph-free round shape serves for all of them. No face pixel is pure
    black, or it would vanish with the background.
    """
    c = Canvas(42, 15, BLACK + (255,))
    states = [
        # (face colour, highlight strength, radius offset, shade)
        ((205, 45, 40), 0.55, 0.0, 1.0),   # normal
        ((140, 25, 22), 0.20, 0.0, 0.7),   # pressed: darker, flatter
        ((240, 80, 70), 0.80, 0.0, 1.0),   # hot: brighter
    ]
    rim = (70, 10, 8)
    for index, (face, shine, _, shade) in enumerate(states):
        ox = index * 14
        cx, cy, radius = ox + 7.0, 7.5, 6.0
        pressed = index == 1
        for y in range(15):
            for x in range(ox, ox + 14):
                def disc(px, py, r=radius):
                    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
                cov = coverage(disc, x, y)
                if not cov:
                    continue
                px, py = x + 0.5, y + 0.5
                d = math.hypot(px - cx, py - cy) / radius
                # Light from the top left (from the bottom right when pressed).
                ly = (py - cy) / radius
                light = -ly if not pressed else ly * 0.5
                rgb = mix(face, WHITE, max(0.0, light) * 0.25 * shade)
                rgb = mix(rgb, rim, max(0.0, d - 0.75) * 2.0)
                hx, hy = cx - 1.5, cy - 2.5
                glint = max(0.0, 1.0 - math.hypot(px - hx, py - hy) / 2.6)
                rgb = mix(rgb, WHITE, glint * shine)
                rgb = tuple(max(1, v) for v in rgb)
                out = mix(BLACK, rgb, cov)
                if out == BLACK:
                    continue
                c.set(x, y, out + (255,))
    return c


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res")
    os.makedirs(out_dir, exist_ok=True)
    files = {
        "taplinar.ico": ico_file([draw_icon(16), draw_icon(32)]),
        "frame.bmp": bmp24(draw_frame(), WHITE),
        "buttons.bmp": bmp24(draw_buttons(), BLACK),
    }
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
