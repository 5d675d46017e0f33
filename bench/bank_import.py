#!/usr/bin/env python3
"""Whole-process time of nrbx-import with a bank of 16 pictures that together fill the 256 cells.

Makes 16 pictures of 4 x 4 cells (64 x 64 pixels) twice: once from 16 hidden palette blocks, so that
they fit exactly (cells of 2..15 colours of one block, some transparent pixels), and once as shaded
sprites with hundreds of colours a picture, which --reduce must reduce. Then times, with hyperfine
(-N, warm-up and runs as given), the exact import and the reduced one, each writing pattern, palette,
block map, manifest and header:

    bench/bank_import.py --bin build/bin [--work DIR] [--runs N]

Standard library only (PNG written with zlib); hyperfine comes from scripts/install-deps.sh.
"""

import argparse
import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import zlib

SIDE = 64  # 4 x 4 cells


def write_png(path, rgba):
    raw = b"".join(b"\x00" + bytes(rgba[y * SIDE * 4:(y + 1) * SIDE * 4]) for y in range(SIDE))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIDE, SIDE, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def exact_pictures(folder, rng):
    colours = rng.sample(range(32768), 16 * 15)
    blocks = [[((c >> 10) * 8, (c >> 5 & 31) * 8, (c & 31) * 8) for c in colours[15 * b:15 * b + 15]]
              for b in range(16)]
    names = []
    for p in range(16):
        rgba = bytearray(SIDE * SIDE * 4)
        for cell in range(16):
            some = rng.sample(rng.choice(blocks), rng.randrange(2, 16))
            for i in range(256):
                x, y = cell % 4 * 16 + i % 16, cell // 4 * 16 + i // 16
                if rng.random() < 0.85:
                    rgba[(y * SIDE + x) * 4:(y * SIDE + x) * 4 + 4] = bytes((*rng.choice(some), 255))
        names.append(os.path.join(folder, "exact-%02d.png" % p))
        write_png(names[-1], rgba)
    return names


def shaded_pictures(folder, rng):
    names = []
    for p in range(16):
        hue = p / 16 * 2 * math.pi
        rgba = bytearray(SIDE * SIDE * 4)
        for y in range(SIDE):
            for x in range(SIDE):
                d = math.hypot(x - 32, y - 32) / 32
                if d > 1:
                    continue
                light = (1 - d) * 0.8 + 0.2 + rng.random() * 0.05
                rgb = [max(0, min(255, int(255 * light * (0.5 + 0.5 * math.cos(hue + k * 2.1))))) for k in range(3)]
                rgba[(y * SIDE + x) * 4:(y * SIDE + x) * 4 + 4] = bytes((*rgb, 255))
        names.append(os.path.join(folder, "shaded-%02d.png" % p))
        write_png(names[-1], rgba)
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="folder with nrbx-import")
    parser.add_argument("--work", help="folder for the pictures and outputs (default: a temporary one in "
                        "/dev/shm where there is one, so that the disk's syncs are not timed)")
    parser.add_argument("--runs", type=int, default=20)
    args = parser.parse_args()
    tool = os.path.abspath(os.path.join(args.bin, "nrbx-import"))
    shm = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(prefix="nrbx-bank-bench-", dir=shm) as scratch:
        folder = args.work or scratch
        rng = random.Random(28)
        exact, shaded = exact_pictures(folder, rng), shaded_pictures(folder, rng)
        out = os.path.join(folder, "bank")
        outputs = "-o {0}.pcg -P {0}.pal --block-map {0}.map --manifest {0}.json --header {0}.h --force".format(out)
        commands = [tool + " " + " ".join(exact) + " " + outputs,
                    tool + " " + " ".join(shaded) + " --reduce " + outputs]
        for command in commands:
            # Under -v the tool says whether the pictures fitted as they are or were reduced.
            subprocess.run(command.split() + ["-v"], check=True)
        sys.exit(subprocess.run(["hyperfine", "-N", "--warmup", "3", "--runs", str(args.runs), "-n", "exact",
                                 commands[0], "-n", "reduce", commands[1]]).returncode)


if __name__ == "__main__":
    main()
