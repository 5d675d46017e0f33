#!/usr/bin/env python3
"""Writes the demo data: samples/demo.pcg (256 sprites) and samples/demo.pal (16 palette blocks).

Each sprite shows its number in hexadecimal over a background of its own; together the sprites use all
16 colour indices. Each palette block is a ramp of its own hue, so changing the block is easy to see.
"""
import colorsys
import os
import sys

FONT = {  # 3 x 5 glyphs, one string per row
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "011", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
    "A": ["010", "101", "111", "101", "101"], "B": ["110", "101", "110", "101", "110"],
    "C": ["011", "100", "100", "100", "011"], "D": ["110", "101", "101", "101", "110"],
    "E": ["111", "100", "110", "100", "111"], "F": ["111", "100", "110", "100", "100"],
}


def background(n, x, y):
    """Indices 1..12 in one of four patterns, shifted by the sprite number."""
    kind = (n // 16 + n) % 4
    if kind == 0:
        v = x + y + n
    elif kind == 1:
        v = (x // 4 + y // 4) * 3 + n
    elif kind == 2:
        v = max(abs(2 * x - 15), abs(2 * y - 15)) // 2 + n
    else:
        v = x * 2 - y + n
    return 1 + v % 12


def sprite(n):
    pix = [[background(n, x, y) for x in range(16)] for y in range(16)]
    for i in range(16):  # border in index 13 or 14
        edge = 13 + (n + i // 4) % 2
        pix[0][i] = pix[15][i] = pix[i][0] = pix[i][15] = edge
    for d, ch in enumerate("%02X" % n):
        ox, oy = 2 + d * 6, 3
        for gy, row in enumerate(FONT[ch]):
            for gx, bit in enumerate(row):
                if bit != "1":
                    continue
                for sy in range(2):
                    for sx in range(2):
                        x, y = ox + gx * 2 - 1 + sx, oy + gy * 2 + sy
                        if 0 < x < 15 and 0 < y + 1 < 15:
                            pix[y + 1][x + 1] = 0  # shadow
                        pix[y][x] = 15
    return pix


def encode(pix):
    out = bytearray()
    for h in range(2):
        for r in range(16):
            for b in range(4):
                x = h * 8 + b * 2
                out.append(pix[r][x] << 4 | pix[r][x + 1])
    return out


def word(r, g, b):
    return (g >> 3) << 11 | (r >> 3) << 6 | (b >> 3) << 1


def palette():
    out = bytearray()
    for block in range(16):
        hue = block / 16.0
        colors = [(0, 0, 0)]
        for i in range(1, 13):
            r, g, b = colorsys.hsv_to_rgb(hue, 0.35 + 0.05 * i, 0.35 + 0.054 * i)
            colors.append((int(r * 248), int(g * 248), int(b * 248)))
        r, g, b = colorsys.hsv_to_rgb((hue + 0.5) % 1.0, 0.8, 0.9)
        colors.append((int(r * 248), int(g * 248), int(b * 248)))
        r, g, b = colorsys.hsv_to_rgb((hue + 0.25) % 1.0, 0.9, 0.7)
        colors.append((int(r * 248), int(g * 248), int(b * 248)))
        colors.append((248, 248, 248))
        for c in colors:
            out += word(*c).to_bytes(2, "big")
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "samples")
    pcg = b"".join(encode(sprite(n)) for n in range(256))
    pal = palette()
    assert len(pcg) == 32768 and len(pal) == 512
    with open(os.path.join(folder, "demo.pcg"), "wb") as f:
        f.write(pcg)
    with open(os.path.join(folder, "demo.pal"), "wb") as f:
        f.write(pal)


if __name__ == "__main__":
    main()
