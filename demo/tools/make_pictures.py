#!/usr/bin/env python3
"""Draws the pictures of the demo setup package.

    header.png, header_dark.png       640 x 53, the wizard's header band (light and dark scheme); the
                                      left 144 pixels carry the logo, the rest lies under the page title
    wizard_light.png, wizard_dark.png 188 x 435, the picture on the left of the welcome and finish pages
    addons.png                        96 x 96 with transparency, the picture of the add-ons page

    make_pictures.py [--out-dir DIR]  (default: ../setup)

Standard library only; the output is the same on every run.
"""

import argparse
import pathlib
import struct
import sys
import zlib

ACCENT_LIGHT = (0xDE, 0x8C, 0x33)
ACCENT_DARK = (0xAC, 0x67, 0x1C)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


class Canvas:
    """RGBA pixels as floats 0..255, painted with simple coverage-based antialiasing."""

    def __init__(self, width, height, colour=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [[tuple(colour)] * width for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b = colour[:3]
        alpha = (colour[3] / 255.0 if len(colour) > 3 else 1.0) * min(coverage, 1.0)
        dr, dg, db, da = self.pixels[y][x]
        out_a = alpha + da / 255.0 * (1 - alpha)
        if out_a <= 0:
            return
        keep = da / 255.0 * (1 - alpha)
        self.pixels[y][x] = (
            (r * alpha + dr * keep) / out_a,
            (g * alpha + dg * keep) / out_a,
            (b * alpha + db * keep) / out_a,
            out_a * 255.0,
        )

    def vertical_gradient(self, top, bottom):
        for y in range(self.height):
            row = mix(top, bottom, y / max(self.height - 1, 1)) + (255,)
            self.pixels[y] = [row] * self.width

    def horizontal_gradient(self, left, right):
        row = [mix(left, right, x / max(self.width - 1, 1)) + (255,) for x in range(self.width)]
        self.pixels = [list(row) for _ in range(self.height)]

    def shape(self, inside, box, colour, samples=4):
        """Paints the points for which inside(x, y) holds, within box (x0, y0, x1, y1), supersampled."""
        x0, y0, x1, y1 = (int(v) for v in box)
        step = 1.0 / samples
        for y in range(max(y0, 0), min(y1 + 1, self.height)):
            for x in range(max(x0, 0), min(x1 + 1, self.width)):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                self.blend(x, y, colour, hits / (samples * samples))

    def ring(self, cx, cy, r_outer, r_inner, colour):
        def inside(x, y):
            d = (x - cx) ** 2 + (y - cy) ** 2
            return r_inner * r_inner <= d <= r_outer * r_outer

        self.shape(inside, (cx - r_outer - 1, cy - r_outer - 1, cx + r_outer + 1, cy + r_outer + 1), colour)

    def disc(self, cx, cy, r, colour):
        self.ring(cx, cy, r, 0, colour)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(int(y0), 0), min(int(y1), self.height)):
            for x in range(max(int(x0), 0), min(int(x1), self.width)):
                self.blend(x, y, colour, 1.0)

    def rounded_rect(self, x0, y0, x1, y1, radius, colour):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

        self.shape(inside, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), colour)

    def png(self, alpha):
        """PNG bytes (8-bit RGB or RGBA), each row filtered with whichever of None, Sub and Up
        leaves the smallest residue."""
        channels = 4 if alpha else 3
        raw = bytearray()
        previous = bytes(self.width * channels)
        for row in self.pixels:
            line = bytearray()
            for pixel in row:
                values = pixel if alpha else pixel[:3]
                line += bytes(min(255, max(0, int(round(v)))) for v in values)
            line = bytes(line)
            candidates = [
                (0, line),
                (1, bytes((line[i] - (line[i - channels] if i >= channels else 0)) & 0xFF for i in range(len(line)))),
                (2, bytes((line[i] - previous[i]) & 0xFF for i in range(len(line)))),
            ]
            kind, data = min(candidates, key=lambda c: sum(v if v < 128 else 256 - v for v in c[1]))
            raw.append(kind)
            raw += data
            previous = line

        def chunk(tag, body):
            return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6 if alpha else 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
                chunk(b"IEND", b""))


# A 5 x 7 block font for the product name.
GLYPHS = {
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}


def block_text(canvas, text, x, y, scale, colour):
    for glyph in text:
        for row, bits in enumerate(GLYPHS[glyph]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    canvas.rect(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, colour)
        x += 6 * scale


def record(canvas, cx, cy, r, body, groove, label):
    """A stylised vinyl record: the disc, a few grooves and the label."""
    canvas.disc(cx, cy, r, body)
    for k in range(3, 9):
        gr = r * k / 10.0
        canvas.ring(cx, cy, gr + 0.6, gr - 0.6, groove)
    canvas.disc(cx, cy, r * 0.26, label)
    canvas.disc(cx, cy, max(r * 0.04, 1.2), body)


def equaliser(canvas, x, base, heights, width, gap, colour):
    for i, h in enumerate(heights):
        left = x + i * (width + gap)
        canvas.rect(left, base - h, left + width, base, colour)


def header(dark):
    c = Canvas(640, 53)
    if dark:
        c.horizontal_gradient((0x2E, 0x2E, 0x2E), (0x26, 0x26, 0x26))
        accent = ACCENT_DARK
        record(c, 30, 26, 20, (0x14, 0x14, 0x14), (0x3A, 0x3A, 0x3A), accent)
    else:
        c.horizontal_gradient((0xFF, 0xF4, 0xE8), (0xFF, 0xFF, 0xFF))
        accent = ACCENT_LIGHT
        record(c, 30, 26, 20, (0x30, 0x30, 0x30), (0x55, 0x55, 0x55), accent)
    equaliser(c, 60, 40, [10, 18, 26, 14, 22, 8, 16], 6, 4, accent + (255,))
    return c


def wizard(dark):
    c = Canvas(188, 435)
    if dark:
        c.vertical_gradient((0x4A, 0x30, 0x16), (0x1E, 0x1E, 0x1E))
        text, body, groove, label = (0xF0, 0xF0, 0xF0), (0x12, 0x12, 0x12), (0x36, 0x36, 0x36), ACCENT_DARK
        bars = ACCENT_DARK + (255,)
    else:
        c.vertical_gradient(ACCENT_LIGHT, (0xB4, 0x5E, 0x12))
        text, body, groove, label = (0xFF, 0xFF, 0xFF), (0x2A, 0x2A, 0x2A), (0x4A, 0x4A, 0x4A), (0xFF, 0xE2, 0xBE)
        bars = (0xFF, 0xFF, 0xFF, 150)
    block_text(c, "ORVO", 25, 40, 6, text + (255,))
    equaliser(c, 25, 150, [18, 34, 52, 28, 44, 22, 38, 12, 30, 20, 46, 16, 26, 10], 6, 3, bars)
    record(c, 150, 345, 120, body, groove, label)
    return c


def addons():
    c = Canvas(96, 96)
    c.rounded_rect(8, 8, 88, 88, 16, ACCENT_LIGHT + (255,))
    c.rounded_rect(42, 24, 54, 72, 3, (255, 255, 255, 255))
    c.rounded_rect(24, 42, 72, 54, 3, (255, 255, 255, 255))
    return c


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out-dir", type=pathlib.Path, default=here.parent / "setup")
    args = parser.parse_args()
    pictures = {
        "header.png": (header(False), False),
        "header_dark.png": (header(True), False),
        "wizard_light.png": (wizard(False), False),
        "wizard_dark.png": (wizard(True), False),
        "addons.png": (addons(), True),
    }
    args.out_dir.mkdir(parents=True, exist_ok=True)
    for name, (canvas, alpha) in pictures.items():
        data = canvas.png(alpha)
        (args.out_dir / name).write_bytes(data)
        print(f"{name}: {canvas.width} x {canvas.height}, {len(data)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
