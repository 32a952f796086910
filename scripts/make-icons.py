#!/usr/bin/python3
"""Draws the tool's two icons as small 16-colour .ico files.

QBXICON is the archive box of the product; DELICON, which the shell shows for
uninstall.exe, is the same box crossed out. Run it again after changing a
drawing; the files it writes are committed under app/icons/.
"""
import struct
import sys
from pathlib import Path

# The standard 16-colour palette (index: r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_YELLOW, GREY, RED, YELLOW, WHITE, BLUE = 0, 3, 8, 9, 11, 15, 12


def box(size):
    """The archive box: a yellow crate with a dark lid band and a blue strap."""
    pix = [[None] * size for _ in range(size)]
    s = size / 32.0
    x0, x1 = int(4 * s), int(28 * s) - 1
    y0, y1 = int(6 * s), int(28 * s) - 1
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            lid = y <= y0 + int(5 * s)
            strap = abs(x - (x0 + x1) // 2) <= max(1, int(2 * s))
            pix[y][x] = BLACK if edge else BLUE if strap else DARK_YELLOW if lid else YELLOW
    return pix


def crossed(size):
    pix = box(size)
    w = max(1, size // 10)
    for i in range(size):
        for d in range(-w, w + 1):
            for x, y in ((i + d, i), (size - 1 - i + d, i)):
                if 0 <= x < size:
                    pix[y][x] = RED
    return pix


def image(pix):
    size = len(pix)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for y in range(size - 1, -1, -1):  # bottom-up rows
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            c = pix[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += bytes(row)
        mask += bytes(bits)
    return header + palette + xor + mask


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b''
    for pix in images:
        img = image(pix)
        size = len(pix)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
        data += img
    return out + data


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / 'app' / 'icons')
    folder.mkdir(parents=True, exist_ok=True)
    (folder / 'qbxicon.ico').write_bytes(ico([box(32), box(16)]))
    (folder / 'delicon.ico').write_bytes(ico([crossed(32), crossed(16)]))


if __name__ == '__main__':
    main()
