#!/usr/bin/env python3
"""Draws the 16x16 flag icons of the demo language files and stores them in their "Icon" lines.

A language file keeps its icon in section "File", key "Icon": the bytes of an .ico file written as two
uppercase hexadecimal digits per byte. This script draws each flag, encodes it as a classic .ico
(one 32-bit image with an alpha channel and an AND mask) and rewrites that one line of each file,
keeping the rest of the file (byte-order mark and line ends included) exactly as it is.

    make_icons.py                 update the language files in ../setup
    make_icons.py --check         only report whether they are up to date (exit code 1 if not)
    make_icons.py --ico-dir DIR   also write the .ico files into DIR, for looking at them

Standard library only, so that the data can be rebuilt anywhere.
"""

import argparse
import pathlib
import struct
import sys

SIZE = 16
TOP, BOTTOM = 2, 14  # the flag covers rows 2..13; the rows above and below stay transparent

RED = (0xD5, 0x2B, 0x1E)
WHITE = (0xFF, 0xFF, 0xFF)
BLUE = (0x00, 0x39, 0xA6)
NAVY = (0x3C, 0x3B, 0x6E)
US_RED = (0xB2, 0x22, 0x34)
BLACK = (0x00, 0x00, 0x00)
DE_RED = (0xDD, 0x00, 0x00)
GOLD = (0xFF, 0xCE, 0x00)


def tricolour(colours):
    """Three horizontal bands of equal height."""
    band = (BOTTOM - TOP) // 3
    return lambda x, y: colours[min((y - TOP) // band, 2)]


def stars_and_stripes(x, y):
    """A simplified US flag: one-pixel stripes and a blue canton with a pattern of white stars."""
    row = y - TOP
    if x < 7 and row < 7:
        return WHITE if (x % 2 == 1 and row % 2 == 1) else NAVY
    return US_RED if row % 2 == 0 else WHITE


FLAGS = {
    "English.lng": stars_and_stripes,
    "Russian.lng": tricolour((WHITE, BLUE, RED)),
    "German.lng": tricolour((BLACK, DE_RED, GOLD)),
}


def draw(colour_at):
    """16x16 RGBA pixels, top row first. The flag's outermost pixels are darkened into an edge, so
    that white parts stay visible on a white list."""
    pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for y in range(TOP, BOTTOM):
        for x in range(SIZE):
            r, g, b = colour_at(x, y)
            if x in (0, SIZE - 1) or y in (TOP, BOTTOM - 1):
                r, g, b = (c * 3 // 4 for c in (r, g, b))
            pixels[y][x] = (r, g, b, 0xFF)
    return pixels


def encode_ico(pixels):
    """One-image .ico: directory, BITMAPINFOHEADER (double height for the mask), bottom-up BGRA
    pixels, then the AND mask with rows padded to 32 bits."""
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):
        row_mask = bytearray(4)
        for x in range(SIZE):
            r, g, b, a = pixels[y][x]
            colour += bytes((b, g, r, a))
            if a == 0:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = info + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), len(directory) + 16)
    return directory + entry + image


def replace_icon_line(data, hex_text):
    """Returns the file's bytes with the "Icon" line of section "File" replaced; raises ValueError
    when the section has no such line."""
    bom = b"\xef\xbb\xbf" if data.startswith(b"\xef\xbb\xbf") else b""
    text = data[len(bom):].decode("utf-8")
    lines = text.splitlines(keepends=True)
    section = None
    for i, line in enumerate(lines):
        body = line.rstrip("\r\n")
        if body.startswith("["):
            section = body[1:-1]
        elif section is not None and section.lower() == "file" and body.lower().startswith("icon="):
            lines[i] = "Icon=" + hex_text + line[len(body):]
            return bom + "".join(lines).encode("utf-8")
    raise ValueError('no "Icon=" line in section [File]')


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--setup-dir", type=pathlib.Path, default=here.parent / "setup")
    parser.add_argument("--check", action="store_true", help="report stale files instead of writing them")
    parser.add_argument("--ico-dir", type=pathlib.Path, help="also write the .ico files here")
    args = parser.parse_args()

    stale = []
    for name, colour_at in FLAGS.items():
        ico = encode_ico(draw(colour_at))
        if args.ico_dir:
            args.ico_dir.mkdir(parents=True, exist_ok=True)
            (args.ico_dir / (pathlib.Path(name).stem + ".ico")).write_bytes(ico)
        path = args.setup_dir / name
        old = path.read_bytes()
        try:
            new = replace_icon_line(old, ico.hex().upper())
        except ValueError as error:
            sys.exit(f"{path}: {error}")
        if new != old:
            stale.append(path)
            if not args.check:
                path.write_bytes(new)
    if args.check:
        for path in stale:
            print(f"{path}: icon is not up to date")
        return 1 if stale else 0
    for path in stale:
        print(f"updated {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
