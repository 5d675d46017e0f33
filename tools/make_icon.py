#!/usr/bin/env python3
"""Writes the program's icon, src/ui/icons/nrbx.png: 32 x 32 pixels, 16 colours, an indexed PNG.

The picture is a small sprite sheet: four 16 x 16 cells (a heart, a star, a gem and a ball), each in
the colours of another palette block, the way the viewer shows sprites rendered with several blocks. A
one-pixel frame marks the top-left cell as the selection. Needs Pillow (Debian: python3-pil).
"""
import os
import sys

from PIL import Image

# The 16-colour palette the program also uses for 16-colour BMP files.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, GREY = range(8)
SILVER, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)

# Four sprites: "." background, "#" body, "s" shade, "w" highlight.
HEART = [
    "................",
    "................",
    "...###....###...",
    "..#####..#####..",
    ".##w####.######.",
    ".#ww###########.",
    ".#w###########s.",
    ".#############s.",
    "..###########s..",
    "...#########s...",
    "....#######s....",
    ".....#####s.....",
    "......###s......",
    ".......#s.......",
    "................",
    "................",
]
STAR = [
    "................",
    ".......##.......",
    ".......##.......",
    "......#w##......",
    "......#w#s......",
    ".####w####ssss#.",
    "..###w######s#..",
    "...#########s...",
    "....########....",
    "....###ss###....",
    "...###s..s###...",
    "...##s....s##...",
    "..##s......s##..",
    "..#s........s#..",
    "................",
    "................",
]
GEM = [
    "................",
    "................",
    "....########....",
    "...#ww####ss#...",
    "..#ww######sss..",
    ".##############.",
    "..#w########ss..",
    "...#w######ss...",
    "....#w####ss....",
    ".....#w##ss.....",
    "......#ss#......",
    ".......ss.......",
    "................",
    "................",
    "................",
    "................",
]
BALL = [
    "................",
    ".....######.....",
    "...##########...",
    "..###ww#######..",
    "..##www#######..",
    ".##ww#########s.",
    ".##w##########s.",
    ".#############s.",
    ".############ss.",
    ".############ss.",
    "..##########ss..",
    "..#########sss..",
    "...######sss....",
    ".....#sssss.....",
    "................",
    "................",
]

# Per cell: sprite, background, body, shade; highlights are white throughout.
CELLS = {
    (0, 0): (HEART, NAVY, RED, MAROON),
    (1, 0): (STAR, BLACK, YELLOW, OLIVE),
    (0, 1): (GEM, BLACK, AQUA, TEAL),
    (1, 1): (BALL, NAVY, LIME, GREEN),
}


def build():
    img = Image.new("P", (32, 32))
    flat = []
    for colour in PALETTE:
        flat.extend(colour)
    img.putpalette(flat)
    px = img.load()
    for (cx, cy), (sprite, back, body, shade) in CELLS.items():
        colours = {".": back, "#": body, "s": shade, "w": WHITE}
        assert len(sprite) == 16 and all(len(row) == 16 for row in sprite)
        for y, row in enumerate(sprite):
            for x, ch in enumerate(row):
                px[cx * 16 + x, cy * 16 + y] = colours[ch]
    # The selection frame around the top-left cell, as the viewer draws its outer ring.
    for i in range(16):
        for x, y in ((i, 0), (i, 15), (0, i), (15, i)):
            px[x, y] = WHITE
    return img


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "ui", "icons", "nrbx.png")
    build().save(out, bits=4, optimize=False)


if __name__ == "__main__":
    main()
