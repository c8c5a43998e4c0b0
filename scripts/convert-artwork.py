#!/usr/bin/env python3
"""Converts the program's artwork for the Windows resource script.

The icons are drawn once, as SVG in resources/icons, and the status display's dot strip once,
as XPM in resources/bitmaps; the Linux program embeds those files as they are. The Windows
program needs .ico and .bmp files, made here at build time so the pictures are never kept
twice by hand:

    convert-artwork.py OUT_DIR ICON.svg... BITMAP.xpm...

Each icon becomes OUT_DIR/<id>.ico holding a 32 x 32 and a 16 x 16 image (the lamps 130 and 131
only 16 x 16, their own size), 32-bit with alpha and an AND mask; rsvg-convert rasterises them.
Each XPM becomes OUT_DIR/<id>.bmp, 24-bit, with exactly the XPM's colours, because the status
display maps pure red, light grey and black to its own colours and must find them unchanged.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

# Icons shown only at 16 x 16: the fuse boxes' lamps.
SMALL_ONLY = {"130", "131"}


def read_png_rgba(path):
    """Decodes an 8-bit RGBA, non-interlaced PNG (what rsvg-convert writes) into rows of
    (r, g, b, a) tuples."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos = 8
    idat = b""
    width = height = 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos : pos + 8])
        body = data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour != 6 or interlace != 0:
                raise ValueError(f"{path}: expected 8-bit RGBA without interlacing")
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    raw = zlib.decompress(idat)
    stride = width * 4
    rows = []
    previous = bytearray(stride)
    offset = 0
    for _ in range(height):
        kind = raw[offset]
        line = bytearray(raw[offset + 1 : offset + 1 + stride])
        offset += 1 + stride
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            upper_left = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                line[i] = (line[i] + predictor) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: unknown PNG filter {kind}")
        rows.append([tuple(line[x * 4 : x * 4 + 4]) for x in range(width)])
        previous = line
    return rows


def icon_image(rows):
    """One icon image: BITMAPINFOHEADER (height doubled for the mask), BGRA pixels bottom-up,
    then the AND mask (1 = transparent), rows padded to 32 bits."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def write_ico(svg, out_path):
    name = os.path.splitext(os.path.basename(svg))[0]
    sizes = [16] if name in SMALL_ONLY else [32, 16]
    images = []
    with tempfile.TemporaryDirectory() as work:
        for size in sizes:
            png = os.path.join(work, f"{size}.png")
            subprocess.run(
                ["rsvg-convert", "-w", str(size), "-h", str(size), "-f", "png", "-o", png, svg],
                check=True,
            )
            images.append((size, icon_image(read_png_rgba(png))))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, image in images:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        body += image
    with open(out_path, "wb") as f:
        f.write(directory + body)


def read_xpm(path):
    """The pixels of a one-character-per-pixel XPM as rows of (r, g, b)."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    strings = []
    inside = False
    current = ""
    for ch in text[text.index("{") :]:
        if ch == '"':
            if inside:
                strings.append(current)
                current = ""
            inside = not inside
        elif inside:
            current += ch
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    if per_pixel != 1:
        raise ValueError(f"{path}: expected one character per pixel")
    palette = {}
    for entry in strings[1 : 1 + colours]:
        key = entry[0]
        value = entry[1:].split()[-1]
        if not value.startswith("#") or len(value) != 7:
            raise ValueError(f"{path}: colour {value!r} is not #RRGGBB")
        palette[key] = tuple(int(value[i : i + 2], 16) for i in (1, 3, 5))
    rows = [[palette[c] for c in line[:width]] for line in strings[1 + colours : 1 + colours + height]]
    if len(rows) != height or any(len(r) != width for r in rows):
        raise ValueError(f"{path}: pixel rows do not match the size")
    return rows


def write_bmp(xpm, out_path):
    rows = read_xpm(xpm)
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(out_path, "wb") as f:
        f.write(header + info + bytes(pixels))


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for source in argv[2:]:
        name, ext = os.path.splitext(os.path.basename(source))
        if ext == ".svg":
            write_ico(source, os.path.join(out_dir, name + ".ico"))
        elif ext == ".xpm":
            write_bmp(source, os.path.join(out_dir, name + ".bmp"))
        else:
            print(f"{source}: neither .svg nor .xpm", file=sys.stderr)
            return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
