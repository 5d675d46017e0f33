#!/usr/bin/env python3
"""Quality and time of nrbx-import --reduce on our own pictures, beside a plain baseline.

Makes the test pictures itself (the demo exported by nrbx-export, which fits as it is, the demo
blurred and tinted, and three generated ones: a photographic-like picture, anti-aliased shapes, a sprite
sheet with soft alpha edges), reduces each with
every dithering, exports the result with nrbx-export, and prints the PSNR against the source (over the
pixels that stay opaque) and the whole-process time of the reduction (wall and processor time, the
least of --runs). Two plain
baselines (nrbx-reduce-baseline, built beside the benchmarks) stand beside it: one global 16-colour
k-means for every cell, and one global 256-colour k-means cut into 16 blocks of 16 by hue, each cell
taking the block that reproduces it best.

Standard library only (PNG written with zlib, BMP and PPM read by hand), so any python3 runs it:

    bench/reduce_psnr.py --bin build/bin [--work DIR] [--runs N]
"""

import argparse
import math
import os
import resource
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SIDE = 256


# --- pictures -------------------------------------------------------------------------------------------

def write_png(path, width, height, rgba):
    """8-bit RGBA, no filtering."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += rgba[y * width * 4:(y + 1) * width * 4]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def read_png_rgba(path):
    """The 8-bit RGBA or RGB PNGs this script and nrbx-export write (any filter)."""
    data = open(path, "rb").read()
    pos, idat, width, height, ctype = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype = struct.unpack(">IIBB", body[:10])
            if depth != 8 or ctype not in (2, 6):
                raise SystemExit(f"{path}: only 8-bit RGB or RGBA PNG is read here")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    out = bytearray()
    prev = bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            out += px if channels == 4 else px + b"\xff"
    return width, height, out


def read_bmp_rgb(path):
    """24-bit bottom-up BMP as nrbx-export writes it."""
    data = open(path, "rb").read()
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    bpp = struct.unpack("<H", data[28:30])[0]
    if bpp != 24:
        raise SystemExit(f"{path}: expected a 24-bit BMP")
    stride = (width * 3 + 3) & ~3
    rgb = bytearray(width * abs(height) * 3)
    for row in range(abs(height)):
        y = abs(height) - 1 - row if height > 0 else row
        line = data[offset + row * stride:offset + row * stride + width * 3]
        for x in range(width):
            b, g, r = line[x * 3:x * 3 + 3]
            rgb[(y * width + x) * 3:(y * width + x) * 3 + 3] = bytes((r, g, b))
    return width, abs(height), rgb


def read_ppm(path):
    data = open(path, "rb").read()
    parts = data.split(maxsplit=4)
    width, height = int(parts[1]), int(parts[2])
    return width, height, bytearray(parts[4][:width * height * 3])


class Noise:
    """Deterministic value noise from a hash, smooth between lattice points."""

    def __init__(self, seed):
        self.seed = seed

    def lattice(self, x, y):
        h = (x * 374761393 + y * 668265263 + self.seed * 2147483647) & 0xFFFFFFFF
        h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
        return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0

    def at(self, x, y):
        x0, y0 = math.floor(x), math.floor(y)
        fx, fy = x - x0, y - y0
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        top = self.lattice(x0, y0) * (1 - fx) + self.lattice(x0 + 1, y0) * fx
        bottom = self.lattice(x0, y0 + 1) * (1 - fx) + self.lattice(x0 + 1, y0 + 1) * fx
        return top * (1 - fy) + bottom * fy

    def fractal(self, x, y, octaves=4):
        total, scale, weight = 0.0, 1.0, 0.5
        for _ in range(octaves):
            total += self.at(x * scale, y * scale) * weight
            scale, weight = scale * 2, weight * 0.5
        return total / (1 - 0.5 ** octaves)


def clamp8(v):
    return max(0, min(255, int(round(v))))


def softened(rgba):
    """The demo under a 3 x 3 box blur and a tint that drifts from warm at the top to cool at the
    bottom: the same art with anti-aliased edges and far more colours than a cell may have."""
    out = bytearray(len(rgba))
    for y in range(SIDE):
        warm = 1 - y / (SIDE - 1)
        for x in range(SIDE):
            acc = [0, 0, 0]
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    at = (min(SIDE - 1, max(0, y + dy)) * SIDE + min(SIDE - 1, max(0, x + dx))) * 4
                    for k in range(3):
                        acc[k] += rgba[at + k]
            r, g, b = (v / 9 for v in acc)
            at = (y * SIDE + x) * 4
            out[at:at + 4] = bytes((clamp8(r * (0.7 + 0.3 * warm) + 40 * warm), clamp8(g),
                                    clamp8(b * (1 - 0.3 * warm) + 40 * (1 - warm)), 255))
    return out


def photographic():
    """A sky-to-ground landscape: smooth gradients, fractal texture, a sun, fine grain."""
    noise, grain = Noise(7), Noise(11)
    rgba = bytearray()
    for y in range(SIDE):
        for x in range(SIDE):
            n = noise.fractal(x / 40, y / 40)
            horizon = 120 + 30 * math.sin(x / 37) + 20 * (n - 0.5)
            if y < horizon:
                t = y / horizon
                r, g, b = 70 + 150 * t, 120 + 100 * t, 230 - 40 * t
                d = math.hypot(x - 190, y - 50)
                glow = max(0.0, 1 - d / 70)
                r, g, b = r + 120 * glow, g + 90 * glow, b + 10 * glow
                cloud = max(0.0, noise.fractal(x / 25 + 9, y / 12) - 0.55) * 3
                r, g, b = r + (255 - r) * cloud, g + (255 - g) * cloud, b + (255 - b) * cloud
            else:
                t = (y - horizon) / (SIDE - horizon)
                r, g, b = 60 + 80 * n - 30 * t, 110 + 70 * n - 50 * t, 40 + 30 * n
                if noise.fractal(x / 9 + 3, y / 9) > 0.62:
                    r, g, b = r + 90, g + 40, b + 70
            e = (grain.at(x * 0.9, y * 0.9) - 0.5) * 18
            rgba += bytes((clamp8(r + e), clamp8(g + e), clamp8(b + e), 255))
    return rgba


def antialiased():
    """Overlapping discs, rings and thick lines in many hues, 4x4 supersampled, on a soft gradient."""
    shapes = []
    seed = 12345

    def rnd():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        return seed / 0x7FFFFFFF

    for i in range(22):
        hue = rnd() * 6
        c = [max(0.0, min(1.0, abs((hue + k) % 6 - 3) - 1)) for k in (0, 4, 2)]
        colour = tuple(40 + 215 * v for v in c)
        kind, cx, cy, radius, ex, ey = int(rnd() * 3), rnd() * SIDE, rnd() * SIDE, 8 + rnd() * 40, rnd() * SIDE, rnd() * SIDE
        if kind == 2:
            box = (min(cx, ex) - 3, min(cy, ey) - 3, max(cx, ex) + 3, max(cy, ey) + 3)
        else:
            box = (cx - radius - 3, cy - radius - 3, cx + radius + 3, cy + radius + 3)
        shapes.append((kind, cx, cy, radius, ex, ey, colour, box))
    rgba = bytearray()
    for y in range(SIDE):
        for x in range(SIDE):
            acc = [0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
                    col = (230 - py * 0.4, 225 - px * 0.2, 210 + py * 0.15)
                    for kind, cx, cy, radius, ex, ey, colour, box in shapes:
                        if not (box[0] <= px <= box[2] and box[1] <= py <= box[3]):
                            continue
                        if kind == 0:
                            inside = (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius
                        elif kind == 1:
                            d = math.hypot(px - cx, py - cy)
                            inside = abs(d - radius) <= 3
                        else:
                            vx, vy = ex - cx, ey - cy
                            length2 = vx * vx + vy * vy or 1
                            t = max(0.0, min(1.0, ((px - cx) * vx + (py - cy) * vy) / length2))
                            inside = math.hypot(px - cx - t * vx, py - cy - t * vy) <= 2.5
                        if inside:
                            col = colour
                    for k in range(3):
                        acc[k] += col[k]
            rgba += bytes((clamp8(acc[0] / 16), clamp8(acc[1] / 16), clamp8(acc[2] / 16), 255))
    return rgba


def sprite_sheet():
    """A 16 x 16 sheet of shaded round sprites in varied hues with soft alpha edges."""
    rgba = bytearray(SIDE * SIDE * 4)
    seed = 777

    def rnd():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        return seed / 0x7FFFFFFF

    for cy in range(16):
        for cx in range(16):
            hue = (cx // 4 + 4 * (cy // 4)) * 6 / 16 + rnd() * 0.3
            base = [max(0.0, min(1.0, abs((hue + k) % 6 - 3) - 1)) for k in (0, 4, 2)]
            radius = 5.5 + rnd() * 2
            ox, oy = 7.5 + (rnd() - 0.5) * 2, 7.5 + (rnd() - 0.5) * 2
            for y in range(16):
                for x in range(16):
                    d = math.hypot(x - ox, y - oy)
                    alpha = max(0.0, min(1.0, radius + 0.5 - d))
                    if alpha <= 0:
                        continue
                    light = max(0.15, 1 - math.hypot(x - ox + 2, y - oy + 2) / (radius * 1.6))
                    col = [clamp8(255 * (0.1 + 0.9 * v) * light) for v in base]
                    if (x + y + cx) % 7 == 0 and d < radius - 1:
                        col = [clamp8(c * 0.6) for c in col]
                    at = ((cy * 16 + y) * SIDE + cx * 16 + x) * 4
                    rgba[at:at + 4] = bytes((col[0], col[1], col[2], clamp8(alpha * 255)))
    return rgba


# --- measuring ------------------------------------------------------------------------------------------

def psnr(source, result, threshold):
    """Over the source's opaque pixels (alpha >= threshold); a pixel left transparent counts as black."""
    total, count = 0, 0
    for i in range(len(source) // 4):
        if source[i * 4 + 3] < threshold:
            continue
        for k in range(3):
            d = source[i * 4 + k] - result[i * 3 + k]
            total += d * d
        count += 3
    if total == 0:
        return float("inf")
    return 10 * math.log10(255 * 255 * count / total)


def timed(command, runs):
    """The fastest run's wall time, and the least processor time (user + system) of the runs: on a
    machine shared with other work the second moves less."""
    best, cpu = None, None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        used = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
        best = elapsed if best is None else min(best, elapsed)
        cpu = used if cpu is None else min(cpu, used)
    return best, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default="build/bin", help="folder of nrbx-import, nrbx-export, nrbx-reduce-baseline")
    parser.add_argument("--samples", default=os.path.join(os.path.dirname(__file__), "..", "samples"))
    parser.add_argument("--work", help="folder for the pictures (default: a temporary one)")
    parser.add_argument("--runs", type=int, default=3, help="timed runs per case; the fastest is shown")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="nrbx-reduce-")
    os.makedirs(work, exist_ok=True)
    tool = lambda name: os.path.join(args.bin, name)

    pictures = []
    demo = os.path.join(work, "demo.png")
    subprocess.run([tool("nrbx-export"), os.path.join(args.samples, "demo.pcg"), "-p",
                    os.path.join(args.samples, "demo.pal"), "-f", "png", "-o", demo, "--force"], check=True)
    pictures.append(("demo", demo))
    soft = os.path.join(work, "demo-soft.png")
    if not os.path.exists(soft):
        write_png(soft, SIDE, SIDE, softened(read_png_rgba(demo)[2]))
    pictures.append(("demo-soft", soft))
    for name, make in (("photographic", photographic), ("anti-aliased", antialiased),
                       ("sprites-alpha", sprite_sheet)):
        path = os.path.join(work, name + ".png")
        if not os.path.exists(path):
            write_png(path, SIDE, SIDE, make())
        pictures.append((name, path))

    print(f"{'picture':14} {'method':26} {'PSNR dB':>8} {'wall ms':>8} {'cpu ms':>8}")
    for name, path in pictures:
        _, _, source = read_png_rgba(path)
        threshold = 128
        rows = []
        for colours, label in (("16", "baseline: 1 block of 16"), ("256", "baseline: 256 cut by hue")):
            base_out = os.path.join(work, f"{name}-baseline{colours}.ppm")
            t = timed([tool("nrbx-reduce-baseline"), colours, path, base_out], args.runs)
            rows.append((label, psnr(source, read_ppm(base_out)[2], threshold), t))
        for dither in ("none", "ordered", "diffusion"):
            pcg, pal, bmap = (os.path.join(work, f"{name}-{dither}.{e}") for e in ("pcg", "pal", "map"))
            t = timed([tool("nrbx-import"), path, "--reduce", "--dither", dither, "-q", "-o", pcg, "-P", pal,
                       "--block-map", bmap, "--force"], args.runs)
            bmp = os.path.join(work, f"{name}-{dither}.bmp")
            subprocess.run([tool("nrbx-export"), pcg, "-p", pal, "--block-map", bmap, "-f", "bmp", "-o", bmp,
                            "--force"], check=True)
            rows.append((f"--reduce --dither {dither}", psnr(source, read_bmp_rgb(bmp)[2], threshold), t))
        for method, value, seconds in rows:
            shown = "exact" if value == float("inf") else f"{value:.2f}"
            print(f"{name:14} {method:26} {shown:>8} {seconds[0] * 1000:8.0f} {seconds[1] * 1000:8.0f}")
    print(f"pictures in {work}")


if __name__ == "__main__":
    sys.exit(main())
