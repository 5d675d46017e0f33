#!/usr/bin/env python3
"""Writes the desktop's icons, dist/icons/hicolor/NxN/apps/org.example.nrbx.png, from the program's icon.

The 32 x 32 pixel-art icon (src/ui/icons/nrbx.png, tools/make_icon.py) is scaled by whole factors with
nearest neighbour, so every size stays crisp: 64, 128 and 256 are 2, 4 and 8 times it, and 48 is the
icon itself on a transparent 48 x 48 square (1.5 times would smear it). The 16 x 16 icon is drawn
here by hand: the same four sprites in the same colours, one 8 x 8 cell each, without the selection
frame, which would take up a quarter of each cell. Needs Pillow (Debian: python3-pil).
"""
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_icon import (AQUA, BLACK, GREEN, LIME, MAROON, NAVY, OLIVE, PALETTE, RED,  # noqa: E402
                       TEAL, WHITE, YELLOW)

APP_ID = "org.example.nrbx"

# "." background, "#" body, "s" shade, "w" highlight, as in make_icon.py.
HEART = ["........", ".##..##.", "#w#####s", "#######s", ".#####s.", "..###s..", "...#s...", "........"]
STAR = ["...##...", "...w#...", "#w#####s", ".#####s.", "..####..", ".#s..s#.", ".#....#.", "........"]
GEM = ["........", ".######.", "#ww###ss", "########", ".#w##ss.", "..w##s..", "...#s...", "........"]
BALL = ["..####..", ".#ww###.", "#ww####s", "#w#####s", "######ss", "#####sss", ".##ssss.", "..ssss.."]

SMALL_CELLS = {
    (0, 0): (HEART, NAVY, RED, MAROON),
    (1, 0): (STAR, BLACK, YELLOW, OLIVE),
    (0, 1): (GEM, BLACK, AQUA, TEAL),
    (1, 1): (BALL, NAVY, LIME, GREEN),
}


def small_icon():
    img = Image.new("RGBA", (16, 16))
    px = img.load()
    for (cx, cy), (sprite, back, body, shade) in SMALL_CELLS.items():
        colours = {".": back, "#": body, "s": shade, "w": WHITE}
        assert len(sprite) == 8 and all(len(row) == 8 for row in sprite)
        for y, row in enumerate(sprite):
            for x, ch in enumerate(row):
                px[cx * 8 + x, cy * 8 + y] = PALETTE[colours[ch]] + (255,)
    return img


def icons(source):
    icon = source.convert("RGBA")
    assert icon.size == (32, 32)
    padded = Image.new("RGBA", (48, 48), (0, 0, 0, 0))
    padded.paste(icon, (8, 8))
    out = {16: small_icon(), 32: icon, 48: padded}
    for factor in (2, 4, 8):
        out[32 * factor] = icon.resize((32 * factor, 32 * factor), Image.NEAREST)
    return out


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    source = Image.open(os.path.join(root, "src", "ui", "icons", "nrbx.png"))
    for size, img in sorted(icons(source).items()):
        folder = os.path.join(root, "dist", "icons", "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        img.save(os.path.join(folder, APP_ID + ".png"), optimize=True)


if __name__ == "__main__":
    main()
