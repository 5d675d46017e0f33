#!/usr/bin/python3
"""Writes the fuzz target's seed corpus into fuzz/corpus/: small pictures of every kind the readers take."""

import io
import os
import struct

from PIL import Image

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def sprite(mode, size=(16, 16), colours=6):
    image = Image.new("RGB", size)
    image.putdata([((x * 8) % 256, (y * 24) % 256, ((x + y) % colours) * 40)
                   for y in range(size[1]) for x in range(size[0])])
    if mode == "I;16":
        return image.convert("L").convert("I").point(lambda v: v * 257).convert("I;16")
    return image.convert(mode) if mode != "RGB" else image


def bmp4(width, height, top_down):
    stride = (width * 4 + 31) // 32 * 4
    rows = [bytes(((x + y) % 16) << 4 | ((x + y + 1) % 16) for x in range(0, width, 2)).ljust(stride, b"\0")
            for y in range(height)]
    pixels = b"".join(rows if top_down else reversed(rows))
    table = b"".join(bytes((k * 16, k * 8, 255 - k * 16, 0)) for k in range(16))
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + table + pixels


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {}
    for mode in ("RGB", "RGBA", "L", "LA", "I;16"):
        buffer = io.BytesIO()
        sprite(mode).save(buffer, "PNG")
        seeds[f"{mode.replace(';', '')}.png".lower()] = buffer.getvalue()
    buffer = io.BytesIO()
    indexed = sprite("RGB", (32, 16)).quantize(16)
    indexed.save(buffer, "PNG", bits=4, transparency=0)
    seeds["indexed4-trns.png"] = buffer.getvalue()
    buffer = io.BytesIO()
    sprite("RGB", (16, 32)).quantize(200).save(buffer, "PNG", optimize=False)
    seeds["indexed8.png"] = buffer.getvalue()
    buffer = io.BytesIO()
    sprite("RGB").save(buffer, "PNG", interlace=1)
    seeds["interlaced.png"] = buffer.getvalue()
    for mode, name in (("RGB", "rgb24.bmp"), ("P", "indexed8.bmp")):
        buffer = io.BytesIO()
        (sprite("RGB").quantize(40) if mode == "P" else sprite("RGB")).save(buffer, "BMP")
        seeds[name] = buffer.getvalue()
    seeds["indexed4-bottom-up.bmp"] = bmp4(16, 16, False)
    seeds["indexed4-top-down.bmp"] = bmp4(32, 16, True)
    seeds["palette.gpl"] = b"GIMP Palette\nName: seed\n#\n0 0 0\n248 8 16 red\n"
    seeds["palette.pal"] = b"JASC-PAL\r\n0100\r\n2\r\n0 0 0\r\n8 248 16\r\n"
    for name, content in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(content)


if __name__ == "__main__":
    main()
