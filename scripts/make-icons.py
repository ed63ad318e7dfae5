#!/usr/bin/python3
"""Draws the program's icons (a small camera) and writes them as 16-colour .ico files.

    res/icons/pelmix.ico  icon group 107: 32x32 and 16x16
    res/icons/small.ico   icon group 108: 16x16
    res/icons/upload_failed.ico  icon group 110: 16x16, the tray's icon after a failed upload

The .ico files are kept in the repository so that a build needs no Python;
`make-icons.py --check` fails when they no longer match this script.
Standard library only.
"""
import os
import struct
import sys

# The 16 colours of the standard VGA palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREY, SILVER, RED, NAVY, BLUE, CYAN, WHITE = 0, 8, 7, 9, 4, 12, 14, 15
CLEAR = None  # transparent: the AND mask shows the background


def draw_camera(size):
    """A size x size grid of palette indices (CLEAR where transparent), top row first."""
    s = size / 32.0
    grid = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, fill, outline=BLACK):
        x0, y0, x1, y1 = (round(v * s) for v in (x0, y0, x1, y1))
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                grid[y][x] = outline if edge else fill

    def disc(cx, cy, r, fill):
        cx, cy, r = cx * s, cy * s, r * s
        for y in range(size):
            for x in range(size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    grid[y][x] = fill

    rect(7, 5, 13, 9, DARK_GREY)           # viewfinder
    rect(22, 6, 27, 9, RED)                # shutter button
    rect(1, 8, 30, 27, SILVER)             # body
    for x in range(round(2 * s), round(30 * s)):
        grid[round(11 * s)][x] = DARK_GREY  # grip line
    disc(16, 18.5, 8.5, BLACK)             # lens barrel
    disc(16, 18.5, 7, DARK_GREY)
    disc(16, 18.5, 5.5, NAVY)
    disc(16, 18.5, 3.5, BLUE)
    disc(13.5, 16, 1.6, CYAN if size >= 32 else WHITE)  # reflection
    if size >= 32:
        disc(13, 15.5, 0.8, WHITE)
    return grid


def draw_failed_camera(size):
    """The camera with a red cross over its lower right: the last upload failed."""
    grid = draw_camera(size)
    half = size // 2
    for i in range(half):
        for w in (0, 1):
            x = half + i
            for y in (half + i - w, size - 1 - i - w):
                if half <= y < size:
                    grid[y][x] = RED
    return grid


def icon_image(grid):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR bitmap, 1-bit AND mask."""
    size = len(grid)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor_rows, and_rows = [], []
    for row in reversed(grid):  # bottom-up, as DIBs are stored
        nibbles = [0 if c is CLEAR else c for c in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed.ljust(xor_stride, b"\0"))
        bits = 0
        for x, c in enumerate(row):
            if c is CLEAR:
                bits |= 1 << (size - 1 - x)
        and_rows.append(bits.to_bytes(size // 8, "big").ljust(and_stride, b"\0"))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def ico_file(draw, sizes):
    images = [icon_image(draw(size)) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


ICONS = {"pelmix.ico": (draw_camera, (32, 16)), "small.ico": (draw_camera, (16,)),
         "upload_failed.ico": (draw_failed_camera, (16,))}


def main(argv):
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "icons")
    check = "--check" in argv
    stale = []
    for name, (draw, sizes) in ICONS.items():
        path = os.path.join(folder, name)
        data = ico_file(draw, sizes)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except OSError:
                stale.append(name)
        else:
            os.makedirs(folder, exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date (run scripts/make-icons.py): " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
