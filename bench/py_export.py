#!/usr/bin/env python3
"""The reference for nrbx-export's batch figures: the same conversion in plain Python (standard library only).

py_export.py -p PALETTE -O FOLDER [--png] [--indexed] PATTERN...

Each 32768-byte pattern file becomes a 256x256 picture in palette block 0, written as nrbx-export writes
it by default: a 24-bit BMP (byte for byte the same file), or with --png a 24-bit PNG (unfiltered rows,
zlib level 6), or with --png --indexed an 8-bit sprite-indexed PNG (pixel = block * 16 + colour index).
Every file is saved as nrbx-export saves it: a temporary file, fsync, rename, fsync of the folder.
"""
import argparse
import os
import struct
import zlib


def palette_table(data):
    """256 (r, g, b) colours from the 512-byte palette file: big-endian words, GRB 5-5-5 bits."""
    table = []
    for k in range(256):
        w = data[2 * k] << 8 | data[2 * k + 1]
        table.append((((w >> 6) & 31) * 8, ((w >> 11) & 31) * 8, ((w >> 1) & 31) * 8))
    return table


def indices(pattern):
    """256 rows of 256 colour indices: sprite n is cell (n % 16, n // 16), left half then right half."""
    pattern = pattern[:32768].ljust(32768, b"\0")
    rows = [bytearray(256) for _ in range(256)]
    for n in range(256):
        base = n * 128
        x0, y0 = (n % 16) * 16, (n // 16) * 16
        for half in (0, 1):
            for r in range(16):
                row = rows[y0 + r]
                for b in range(4):
                    v = pattern[base + half * 64 + r * 4 + b]
                    x = x0 + half * 8 + b * 2
                    row[x] = v >> 4
                    row[x + 1] = v & 15
    return rows


def bmp24(rows, table):
    bgr = [bytes((table[i][2], table[i][1], table[i][0])) for i in range(16)]
    pixels = b"".join(b"".join(bgr[i] for i in row) for row in reversed(rows))
    header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, 256, 256, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return header + info + pixels


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(rows, table, indexed):
    if indexed:
        raw = b"".join(b"\0" + bytes(row) for row in rows)
        ihdr = struct.pack(">IIBBBBB", 256, 256, 8, 3, 0, 0, 0)
        extra = chunk(b"PLTE", b"".join(bytes(c) for c in table))
    else:
        rgb = [bytes(table[i]) for i in range(16)]
        raw = b"".join(b"\0" + b"".join(rgb[i] for i in row) for row in rows)
        ihdr = struct.pack(">IIBBBBB", 256, 256, 8, 2, 0, 0, 0)
        extra = b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw, 6)) +
            chunk(b"IEND", b""))


def save(path, data, folder_fd):
    temp = os.path.join(os.path.dirname(path), ".py-export-%d.tmp" % os.getpid())
    fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
    try:
        os.write(fd, data)
        os.fsync(fd)
    finally:
        os.close(fd)
    os.rename(temp, path)
    os.fsync(folder_fd)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-p", "--palette", required=True)
    parser.add_argument("-O", "--output-dir", required=True)
    parser.add_argument("--png", action="store_true")
    parser.add_argument("--indexed", action="store_true")
    parser.add_argument("patterns", nargs="+")
    args = parser.parse_args()
    with open(args.palette, "rb") as f:
        table = palette_table(f.read(512).ljust(512, b"\0"))
    folder_fd = os.open(args.output_dir, os.O_RDONLY | os.O_DIRECTORY)
    ext = ".png" if args.png else ".bmp"
    for name in args.patterns:
        with open(name, "rb") as f:
            rows = indices(f.read(32768))
        data = png(rows, table, args.indexed) if args.png else bmp24(rows, table)
        out = os.path.join(args.output_dir, os.path.splitext(os.path.basename(name))[0] + ext)
        save(out, data, folder_fd)
    os.close(folder_fd)


if __name__ == "__main__":
    main()
