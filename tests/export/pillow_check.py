"""Reads a BMP with Pillow and compares its pixels with raw RGB bytes: pillow_check.py BMP RGB W H."""
import sys

from PIL import Image

bmp, raw, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
with Image.open(bmp) as image:
    if image.size != (width, height):
        sys.exit(f"size {image.size} != {(width, height)}")
    got = image.convert("RGB").tobytes()
with open(raw, "rb") as f:
    want = f.read()
if got != want:
    first = next(i for i in range(len(want)) if got[i] != want[i]) // 3
    sys.exit(f"pixel {first % width},{first // width} differs")
