#!/usr/bin/python3
"""Quality and time of nrbx-import --reduce on real and generated pictures, beside two public
tile-palette quantizers.

Usage (Debian's /usr/bin/python3: numpy and PIL come from python3-numpy and python3-pil):

    /usr/bin/python3 bench/reduce_psnr.py --bin build-perf/bin --json before.json   # everything, ~1-3 min
    ... change the reduction, rebuild ...
    /usr/bin/python3 bench/reduce_psnr.py --bin build-perf/bin --runs 1 --jobs 2 --compare before.json
    /usr/bin/python3 bench/reduce_psnr.py --bin build-perf/bin --only almost-icon wesnoth-units --sheet look.png
    /usr/bin/python3 bench/reduce_psnr.py --bin build-perf/bin --retime --json now.json --markdown now.md

The anchors' results come from the cache after the first run (which takes 10-20 minutes for
tiledpalettequant), so a run costs nrbx's own time plus the metrics. Use --runs 1 --jobs 2 while
iterating on quality; for figures to publish use --jobs 1, the default --runs 5 and --retime.

Pictures (--pictures real|generated|all, default all; --only NAME... picks some, 'almost-*' too):
  real       the real-art set of bench/real_art.py: 45 pictures cut from Debian packages (sprites, tile
             sets, icons, portraits, wallpapers, and a few that fit the palette grid or almost do),
             downloaded and cut once into the cache folder.
  generated  the demo as nrbx-export writes it (fits as it is), the demo blurred and tinted, and three
             made here: a photographic landscape, anti-aliased shapes, a sprite sheet with soft alpha.

Contenders, each at nrbx's constraints (16x16 cells, 16 blocks of 16 colours, colours shown as v*8):
  nrbx-plain, nrbx-diffusion  nrbx-import --reduce [--dither diffusion], exported by nrbx-export;
             --ordered adds nrbx-ordered. Run fresh every time, timed as a whole process: the median
             wall and processor time of --runs runs.
  qualetize-plain, qualetize-dither  Qualetize in sRGB, without and with its dither.
  tpq        tiledpalettequant at its defaults (seconds a picture; --no-tpq leaves it out); with
             --tpq-dither also tpq-dither, its dither (tens of seconds a picture).
             The anchors are run by ANCHORS/run_anchor.py (--dither for the dithered ones) and timed by
             the ms it reports (the tool's own time). ANCHORS is <project root>/../shared/anchors or
             --anchors; they are skipped, with a line saying so, when the folder, node, or numpy/PIL for
             /usr/bin/python3 are missing (--no-anchors skips them too). Their outputs are cached in
             CACHE/anchors/, keyed by a hash of the picture's bytes, the tool and its settings, both
             anchors' COMMIT files and run_anchor.py; the metrics are always computed anew. A cached
             result keeps the time of the run that made it; --retime runs Qualetize afresh, --runs times
             (median), so that its time and nrbx's are taken alike and under the same load.
  baseline-16, baseline-256  nrbx-reduce-baseline, when it is in --bin (a build with NRBX_BENCH).

Metrics, every result against its source picture, over the source's opaque pixels (alpha >= 128); a
pixel the result leaves transparent counts as black; sides as in the source (nrbx's 256x256 export is
cropped to the picture's top-left corner, where nrbx-import puts it):
  PSNR       over the R, G, B values (0..255) of those pixels; 100 dB stands for an exact result.
  OKLab      mean Euclidean distance in OKLab (L from 0 to 1) x 100, sRGB decoded with the sRGB curve.
  blur       PSNR after a Gaussian blur of sigma 1 px (7 taps, -3..3, normalised; edges repeated)
             applied to both pictures in linear light, each with the source's transparent pixels black,
             then encoded back with the sRGB curve (0..255, not rounded): the error an eye sees in a
             dither.
  A result marked "!" breaks the constraints as far as a picture shows them (a colour off the grid, or
  more than 16 colours in a cell, transparency counted as one).

Report: a table per picture; a summary (median PSNR, OKLab, blur and time of each contender) of the
real-art set and one of the generated pictures; then the targets of issue 27 over the real-art set
(over the generated pictures when no real one was measured), each with its figure:
  - pictures where nrbx's better (the higher PSNR of nrbx-plain and nrbx-diffusion) is more than
    0.1 dB below the better anchor's best (the highest PSNR among the anchors' results on it), and which
    of them the widened-word rule keeps exact (every opaque colour v*8 or v*8 + v/4);
  - the median, over the pictures, of nrbx's better minus the better anchor's best;
  - the lower median OKLab of nrbx-plain and nrbx-diffusion over the lowest median OKLab of the
    anchors' settings;
  - the median times of nrbx-plain and nrbx-diffusion against qualetize-plain's;
  - pictures where nrbx-diffusion's blurred PSNR is above nrbx-plain's.

CACHE is $NRBX_ART or /var/tmp/nrbx-art (--cache). --work keeps nrbx's files (default: a temporary
folder in /dev/shm, removed at the end: nrbx syncs every file it writes, which on a disk adds some
50 ms of waiting to each run; the anchors' outputs are not synced). --json FILE writes every figure;
--compare OLD.json prints what changed in nrbx's quality per picture and in the targets against an
earlier --json; --report FILE prints the report of a --json file again without running anything;
--markdown FILE writes the tables as Markdown; --sheet FILE draws each picture beside its results
(PSNR / blurred PSNR above each).
"""

import argparse
import concurrent.futures
import fnmatch
import hashlib
import json
import math
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

try:
    import numpy as np
    from PIL import Image
except ImportError as e:
    raise SystemExit(f"{e}: run with Debian's /usr/bin/python3 with python3-numpy and python3-pil installed "
                     "(scripts/install-deps.sh)")

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import real_art  # noqa: E402

SIDE = 256
ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
EXACT = 100.0
ANCHOR_SETTINGS = {  # contender -> run_anchor.py tool and options
    "qualetize-plain": ("qualetize", []),
    "qualetize-dither": ("qualetize", ["--dither"]),
    "tpq": ("tiledpalettequant", []),
    "tpq-dither": ("tiledpalettequant", ["--dither"]),
}


# --- generated pictures (pure Python, made once into the cache) ------------------------------------------

def uniform_draws(seed):
    """A deterministic stream of numbers in [0, 1] (a linear congruential generator), for the pictures."""

    def draw():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        return seed / 0x7FFFFFFF

    return draw


def hue_colour(hue):
    """Red, green, blue in 0..1 of a fully saturated hue in 0..6."""
    return [max(0.0, min(1.0, abs((hue + k) % 6 - 3) - 1)) for k in (0, 4, 2)]


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
    rnd = uniform_draws(12345)

    for i in range(22):
        hue = rnd() * 6
        c = hue_colour(hue)
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
    rnd = uniform_draws(777)

    for cy in range(16):
        for cx in range(16):
            hue = (cx // 4 + 4 * (cy // 4)) * 6 / 16 + rnd() * 0.3
            base = hue_colour(hue)
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


def generated_pictures(tool, samples, cache, work):
    """[(name, kind, path)]: the demo exported now, the rest made once into CACHE/generated."""
    folder = os.path.join(cache, "generated")
    os.makedirs(folder, exist_ok=True)
    demo = os.path.join(work, "demo.png")
    subprocess.run([tool("nrbx-export"), os.path.join(samples, "demo.pcg"), "-p", os.path.join(samples, "demo.pal"),
                    "-f", "png", "-o", demo], check=True)
    out = [("demo", "generated", demo)]
    makers = (("demo-soft", lambda: softened(np.array(Image.open(demo).convert("RGBA")).tobytes())),
              ("photographic", photographic), ("anti-aliased", antialiased), ("sprites-alpha", sprite_sheet))
    for name, make in makers:
        path = os.path.join(folder, name + ".png")
        if not os.path.exists(path):
            Image.frombytes("RGBA", (SIDE, SIDE), bytes(make())).save(path + ".tmp.png")
            os.replace(path + ".tmp.png", path)
        out.append((name, "generated", path))
    return out


# --- metrics ---------------------------------------------------------------------------------------------

def load_rgba(path, width, height):
    """The picture's top-left WIDTH x HEIGHT as RGBA uint8; a pixel with alpha < 128 made black."""
    picture = np.array(Image.open(path).convert("RGBA"))[:height, :width].copy()
    picture[picture[..., 3] < 128, :3] = 0
    return picture


_LEVELS = np.arange(256) / 255.0
LINEAR = np.where(_LEVELS <= 0.04045, _LEVELS / 12.92, ((_LEVELS + 0.055) / 1.055) ** 2.4)


def to_linear(rgb8):
    """sRGB values 0..255 in linear light 0..1 (the sRGB curve)."""
    return LINEAR[rgb8]


def to_srgb255(linear):
    c = np.clip(linear, 0.0, 1.0)
    return 255.0 * np.where(c <= 0.0031308, c * 12.92, 1.055 * c ** (1 / 2.4) - 0.055)


def oklab(linear):
    lms = linear @ np.array([[0.4122214708, 0.2119034982, 0.0883024619],
                             [0.5363325363, 0.6806995451, 0.2817188376],
                             [0.0514459929, 0.1073969566, 0.6299787005]])
    lms = np.cbrt(lms)
    return lms @ np.array([[0.2104542553, 1.9779984951, 0.0259040371],
                           [0.7936177850, -2.4285922050, 0.7827717662],
                           [-0.0040720468, 0.4505937099, -0.8086757660]])


def gaussian_blur(picture, sigma=1.0, radius=3):
    taps = np.exp(-0.5 * (np.arange(-radius, radius + 1) / sigma) ** 2)
    taps /= taps.sum()
    out = picture
    for axis in (0, 1):
        padded = np.pad(out, [(radius, radius) if a == axis else (0, 0) for a in range(out.ndim)], mode="edge")
        size = out.shape[axis]
        out = sum(t * np.take(padded, range(i, i + size), axis=axis) for i, t in enumerate(taps))
    return out


def psnr_of(a, b, mask):
    if not mask.any():
        return EXACT
    mse = float(np.mean((a[mask].astype(np.float64) - b[mask].astype(np.float64)) ** 2))
    return EXACT if mse == 0 else min(EXACT, 10 * math.log10(255.0 ** 2 / mse))


def constraints(result):
    """Whether RESULT keeps nrbx's constraints as far as a picture shows them: every colour of an opaque
    pixel on the grid (each channel a multiple of 8), at most 16 colours a 16x16 cell (transparency
    counted as one)."""
    h, w = result.shape[:2]
    opaque = result[..., 3] >= 128
    on_grid = bool((result[opaque][:, :3] % 8 == 0).all())
    codes = np.where(opaque, (result[..., 0].astype(np.int64) << 16) | (result[..., 1].astype(np.int64) << 8)
                     | result[..., 2], -1)
    cells = codes.reshape(h // 16, 16, w // 16, 16).transpose(0, 2, 1, 3).reshape(-1, 256)
    most = max(len(np.unique(cell)) for cell in cells)
    return on_grid and most <= 16


def measure(source, result):
    """PSNR, OKLab x 100 and blurred PSNR of RESULT against SOURCE (both RGBA uint8, same size), and
    whether RESULT keeps the constraints."""
    mask = source[..., 3] >= 128
    shown = result[..., :3].copy()
    shown[~mask] = 0
    src_lin, res_lin = to_linear(source[..., :3]), to_linear(shown)
    lab = np.linalg.norm(oklab(src_lin[mask]) - oklab(res_lin[mask]), axis=1) if mask.any() else np.zeros(1)
    blurred = psnr_of(to_srgb255(gaussian_blur(src_lin)), to_srgb255(gaussian_blur(res_lin)), mask)
    return {"psnr": round(psnr_of(source[..., :3], shown, mask), 3), "oklab": round(float(lab.mean()) * 100, 4),
            "blur": round(blurred, 3), "valid": constraints(result)}


# --- running the contenders ------------------------------------------------------------------------------

def timed(command, runs):
    """Median wall and median processor time (user + system) in ms of RUNS runs of COMMAND."""
    walls, cpus = [], []
    for _ in range(runs):
        with tempfile.TemporaryFile() as errors:
            start = time.perf_counter()
            process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=errors)
            _, status, usage = os.wait4(process.pid, 0)
            walls.append((time.perf_counter() - start) * 1000)
            cpus.append((usage.ru_utime + usage.ru_stime) * 1000)
            process.returncode = os.waitstatus_to_exitcode(status)
            if process.returncode:
                errors.seek(0)
                raise RuntimeError(f"{' '.join(command)} failed: {errors.read().decode(errors='replace').strip()}")
    return statistics.median(walls), statistics.median(cpus)


def run_nrbx(tool, picture, dither, work, runs):
    name = os.path.splitext(os.path.basename(picture))[0] + "-" + dither
    pcg, pal, bmap, png = (os.path.join(work, f"{name}.{e}") for e in ("pcg", "pal", "map", "png"))
    wall, cpu = timed([tool("nrbx-import"), picture, "--reduce", "--dither", dither, "-q", "-o", pcg, "-P", pal,
                       "--block-map", bmap, "--force"], runs)
    subprocess.run([tool("nrbx-export"), pcg, "-p", pal, "--block-map", bmap, "-f", "png", "-o", png,
                    "-q"], check=True)
    return png, {"ms": round(wall, 2), "cpu_ms": round(cpu, 2)}


def run_baseline(tool, picture, colours, work, runs):
    name = os.path.splitext(os.path.basename(picture))[0] + f"-baseline{colours}"
    ppm, png = os.path.join(work, name + ".ppm"), os.path.join(work, name + ".png")
    wall, cpu = timed([tool("nrbx-reduce-baseline"), colours, picture, ppm], runs)
    Image.open(ppm).convert("RGBA").save(png)
    return png, {"ms": round(wall, 2), "cpu_ms": round(cpu, 2)}


class Anchors:
    """The two public quantizers, run by run_anchor.py, their outputs cached."""

    def __init__(self, folder, cache, log):
        self.folder, self.cache = folder, os.path.join(cache, "anchors")
        self.missing = None
        self.first_qualetize = threading.Lock()
        self.qualetize_built = False
        script = os.path.join(folder, "run_anchor.py")
        if not os.path.isfile(script):
            self.missing = f"no {script}"
        elif not shutil.which("node"):
            self.missing = "no node on PATH (Debian: nodejs)"
        elif subprocess.run(["/usr/bin/python3", "-c", "import numpy, PIL"], capture_output=True).returncode:
            self.missing = "/usr/bin/python3 lacks numpy or PIL (Debian: python3-numpy, python3-pil)"
        if self.missing:
            return
        os.makedirs(self.cache, exist_ok=True)
        version = hashlib.sha256()
        for part in ("qualetize/COMMIT", "tiledpalettequant/COMMIT", "run_anchor.py"):
            with open(os.path.join(folder, part), "rb") as f:
                version.update(f.read())
        self.version = version.hexdigest()
        self.commits = {}
        for tool in ("qualetize", "tiledpalettequant"):
            with open(os.path.join(folder, tool, "COMMIT")) as f:
                self.commits[tool] = f.read().strip()

    def key(self, picture_bytes, contender):
        tool, options = ANCHOR_SETTINGS[contender]
        h = hashlib.sha256(picture_bytes)
        h.update(json.dumps([tool, options, self.version]).encode())
        return h.hexdigest()[:32]

    def run(self, contender, picture, log, fresh=False):
        """(output PNG, {"ms": the tool's own time, "cached": bool}); FRESH runs it even when cached."""
        with open(picture, "rb") as f:
            key = self.key(f.read(), contender)
        png, meta = os.path.join(self.cache, key + ".png"), os.path.join(self.cache, key + ".json")
        if not fresh and os.path.exists(png) and os.path.exists(meta):
            with open(meta) as f:
                return png, dict(json.load(f), cached=True)
        tool, options = ANCHOR_SETTINGS[contender]
        command = ["/usr/bin/python3", os.path.join(self.folder, "run_anchor.py"), tool, picture, png + ".tmp.png",
                   *options]
        if tool == "qualetize" and not self.qualetize_built:  # the first run builds it: one at a time
            with self.first_qualetize:
                result = subprocess.run(command, capture_output=True, text=True)
                self.qualetize_built = result.returncode == 0
        else:
            result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"{contender} on {picture} failed: {result.stderr.strip()[-400:]}")
        ms = float(result.stdout.strip().splitlines()[-1].split()[1])
        os.replace(png + ".tmp.png", png)
        with open(meta + ".tmp", "w") as f:
            json.dump({"ms": ms, "contender": contender, "picture": os.path.basename(picture),
                       "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
                       "load": round(os.getloadavg()[0], 2)}, f)
        os.replace(meta + ".tmp", meta)
        return png, {"ms": ms, "cached": False}


def measure_picture(args, tool, anchors, name, kind, path, work, log):
    source = np.array(Image.open(path).convert("RGBA"))
    height, width = source.shape[:2]
    source[source[..., 3] < 128, :3] = 0
    entry = {"kind": kind, "size": [width, height], "file": path, "results": {}}
    results = entry["results"]
    dithers = ["none", "diffusion"] + (["ordered"] if args.ordered else [])
    for dither in dithers:
        png, times = run_nrbx(tool, path, dither, work, args.runs)
        label = "nrbx-plain" if dither == "none" else "nrbx-" + dither
        results[label] = dict(measure(source, load_rgba(png, width, height)), file=png, **times)
    if args.baselines:
        for colours in ("16", "256"):
            png, times = run_baseline(tool, path, colours, work, args.runs)
            shown = load_rgba(png, width, height)
            shown[..., 3] = source[..., 3]  # it writes RGB only: transparency as the source has it
            results["baseline-" + colours] = dict(measure(source, shown), **times)
    if anchors is not None:
        for contender in args.anchor_contenders:
            try:
                fresh = args.retime and contender.startswith("qualetize")
                png, info = anchors.run(contender, path, log, fresh)
                if fresh and args.runs > 1:  # its time as nrbx's: the median of --runs runs
                    times = [info["ms"]] + [anchors.run(contender, path, log, True)[1]["ms"]
                                            for _ in range(args.runs - 1)]
                    info["ms"] = statistics.median(times)
            except RuntimeError as e:
                print(f"{name}: {e}", file=log)
                continue
            results[contender] = dict(measure(source, load_rgba(png, width, height)), file=png, **info)
    return entry


# --- report ----------------------------------------------------------------------------------------------

def shown(value):
    return "exact" if value >= EXACT else f"{value:.2f}"


def picture_figures(entry):
    """nrbx's better and the better anchor's best of one picture: (nrbx result, anchor result, labels)."""
    results = entry["results"]
    ours = [k for k in ("nrbx-plain", "nrbx-diffusion") if k in results]
    theirs = [k for k in ANCHOR_SETTINGS if k in results]
    if not ours or not theirs:
        return None
    best_ours = max(ours, key=lambda k: results[k]["psnr"])
    best_theirs = max(theirs, key=lambda k: results[k]["psnr"])
    return best_ours, best_theirs


def widened_only(path):
    """Whether every opaque colour of the picture at PATH is a five-bit level widened by shifting (v*8) or
    by replication (v*8 + v/4): nrbx-import --reduce gives such a picture back as the exact conversion
    does, whatever an anchor reaches by rounding."""
    with Image.open(path) as image:
        rgba = np.asarray(image.convert("RGBA"))
    c = rgba[rgba[..., 3] >= 128][:, :3].astype(np.int32)
    v = c >> 3
    return bool(((c == v * 8) | (c == v * 8 + v // 4)).all())


def median(values):
    return statistics.median(values) if values else float("nan")


ORDER = ["nrbx-plain", "nrbx-diffusion", "nrbx-ordered", "qualetize-plain", "qualetize-dither", "tpq", "tpq-dither",
         "baseline-16", "baseline-256"]
SHORT = {"nrbx-plain": "nrbx", "nrbx-diffusion": "nrbx diff", "nrbx-ordered": "nrbx ord",
         "qualetize-plain": "qualetize", "qualetize-dither": "qual dith", "tpq": "tpq", "tpq-dither": "tpq dith", "baseline-16": "base16",
         "baseline-256": "base256"}


def contenders_of(pictures):
    found = {k for entry in pictures.values() for k in entry["results"]}
    return sorted(found, key=lambda k: ORDER.index(k) if k in ORDER else len(ORDER))


def summarize(pictures, title, data, out, with_checks):
    """The summary table of PICTURES and, with WITH_CHECKS, the targets of issue 27; returns both."""
    p = lambda *a: print(*a, file=out)
    contenders = contenders_of(pictures)
    anchors_present = [k for k in contenders if k in ANCHOR_SETTINGS]
    p("")
    p(f"Summary, {title}: {len(pictures)} pictures (medians over the pictures; time: nrbx the whole process, "
      f"median of {data['meta']['runs']} runs; anchors the time they report)")
    p(f"{'contender':17} {'pictures':>8} {'PSNR dB':>8} {'OKLab x100':>10} {'blur dB':>8} {'time ms':>8} "
      f"{'cpu ms':>7} {'ms 256x256':>10}")
    summary = {}
    for k in contenders:
        rows = [e["results"][k] for e in pictures.values() if k in e["results"]]
        full = [e["results"][k]["ms"] for e in pictures.values() if k in e["results"] and e["size"] == [256, 256]]
        s = {"pictures": len(rows), "psnr": median([r["psnr"] for r in rows]),
             "oklab": median([r["oklab"] for r in rows]), "blur": median([r["blur"] for r in rows]),
             "ms": median([r["ms"] for r in rows]), "ms_256": median(full)}
        if rows and "cpu_ms" in rows[0]:
            s["cpu_ms"] = median([r["cpu_ms"] for r in rows])
        summary[k] = s
        cpu = f"{s['cpu_ms']:7.1f}" if "cpu_ms" in s else f"{'':7}"
        p(f"{k:17} {s['pictures']:8} {shown(s['psnr']):>8} {s['oklab']:10.2f} {shown(s['blur']):>8} "
          f"{s['ms']:8.1f} {cpu} {s['ms_256']:10.1f}")
    checks = {}
    if not with_checks:
        return summary, checks
    p("")
    pairs = {n: v for n, v in ((n, picture_figures(e)) for n, e in pictures.items()) if v}
    if pairs:
        deltas = {n: pictures[n]["results"][a]["psnr"] - pictures[n]["results"][b]["psnr"]
                  for n, (a, b) in pairs.items()}
        below = sorted((d, n) for n, d in deltas.items() if d < -0.1)
        lead = median(list(deltas.values()))
        ours_lab = min(summary[k]["oklab"] for k in ("nrbx-plain", "nrbx-diffusion") if k in summary)
        theirs_lab = min(summary[k]["oklab"] for k in anchors_present)
        ratio = ours_lab / theirs_lab if theirs_lab else float("nan")
        kept = [n for _, n in below if widened_only(pictures[n]["file"])]
        checks = {"pictures_compared": len(pairs), "more_than_0.1_below": len(below), "below_kept_exact": kept,
                  "below": {n: round(d, 3) for d, n in below}, "median_lead_db": round(lead, 3),
                  "oklab_nrbx": ours_lab, "oklab_anchor": theirs_lab, "oklab_ratio": round(ratio, 3)}
        p(f"Targets of issue 27, {title} ({len(pairs)} pictures with nrbx and an anchor):")
        p(f"  nrbx's better more than 0.1 dB below the better anchor's best: {len(below)} of {len(pairs)} pictures "
          f"(target 0){'' if not below else '; worst: ' + ', '.join(f'{n} {d:+.2f}' for d, n in below[:4])}  "
          f"[{'met' if not below else 'not met'}]")
        if kept:
            p(f"    of them kept exact by the widened-word rule (every opaque colour v*8 or v*8 + v/4): "
              f"{', '.join(kept)}; the others: {len(below) - len(kept)} of {len(pairs) - len(kept)}")
        p(f"  median PSNR lead of nrbx's better over the better anchor's best: {lead:+.2f} dB (target >= +0.50)  "
          f"[{'met' if lead >= 0.5 else 'not met'}]")
        p(f"  median OKLab x100: nrbx's lower of plain and diffusion {ours_lab:.2f} / the anchors' lowest setting "
          f"{theirs_lab:.2f} = {ratio:.3f} (target <= 0.9)  [{'met' if ratio <= 0.9 else 'not met'}]")
    if "qualetize-plain" in summary and "nrbx-plain" in summary:
        q = summary["qualetize-plain"]["ms"]
        n, d = summary["nrbx-plain"]["ms"], summary.get("nrbx-diffusion", {}).get("ms", float("nan"))
        checks.update({"nrbx_plain_ms": n, "nrbx_diffusion_ms": d, "qualetize_ms": q})
        p(f"  median time: nrbx plain {n:.1f} ms, diffusion {d:.1f} ms (whole process); Qualetize {q:.1f} ms "
          f"(target: nrbx at most Qualetize's)  [{'met' if max(n, d) <= q else 'not met'}]")
    both = [(e["results"]["nrbx-plain"]["blur"], e["results"]["nrbx-diffusion"]["blur"])
            for e in pictures.values() if "nrbx-plain" in e["results"] and "nrbx-diffusion" in e["results"]]
    if both:
        wins = sum(1 for a, b in both if b > a)
        ties = sum(1 for a, b in both if b == a)
        checks.update({"dither_wins_on_blur": wins, "dither_ties": ties, "dither_compared": len(both)})
        p(f"  nrbx diffusion beats plain on the blurred PSNR: {wins} of {len(both)} pictures ({ties} equal; "
          f"target: most)  [{'met' if wins * 2 > len(both) else 'not met'}]")
    return summary, checks


def report(data, out):
    pictures = data["pictures"]
    contenders = contenders_of(pictures)
    anchors_present = [k for k in contenders if k in ANCHOR_SETTINGS]
    p = lambda *a: print(*a, file=out)
    p("Per picture: PSNR dB / OKLab x100 / blurred PSNR dB of each contender"
      + ("; delta: nrbx's better minus the better anchor's best, PSNR dB" if anchors_present else ""))
    head = f"{'picture':26} {'kind':9} {'size':7}" + "".join(f" {SHORT.get(k, k):>19}" for k in contenders)
    p(head + (f" {'delta':>7}" if anchors_present else ""))
    for name, entry in pictures.items():
        line = f"{name[:26]:26} {entry['kind'][:9]:9} {entry['size'][0]:3}x{entry['size'][1]:<3}"
        for k in contenders:
            r = entry["results"].get(k)
            mark = "" if not r or r.get("valid", True) else "!"
            line += f" {shown(r['psnr']):>6}/{r['oklab']:5.2f}/{shown(r['blur']):>6}{mark}" if r else f" {'-':>19}"
        pair = picture_figures(entry)
        if pair:
            entry["nrbx_better"], entry["anchor_best"] = pair
            entry["delta"] = round(entry["results"][pair[0]]["psnr"] - entry["results"][pair[1]]["psnr"], 3)
            line += f" {entry['delta']:+7.2f}"
        p(line)
    broken = sorted(f"{n} {k}" for n, e in pictures.items() for k, r in e["results"].items()
                    if not r.get("valid", True))
    if broken:
        p(f"! outside the constraints (a colour off the grid, or more than 16 colours in a cell): {', '.join(broken)}")
    real = {n: e for n, e in pictures.items() if e["kind"] != "generated"}
    generated = {n: e for n, e in pictures.items() if e["kind"] == "generated"}
    data["summary"], data["checks"] = {}, {}
    if real:
        data["summary"]["real"], data["checks"]["real"] = summarize(real, "real-art set", data, out, True)
    if generated:
        data["summary"]["generated"], data["checks"]["generated"] = summarize(
            generated, "generated pictures", data, out, not real)


def markdown(data, out):
    """The per-picture table and the summaries as Markdown tables, for docs/performance.md."""
    pictures = data["pictures"]
    contenders = contenders_of(pictures)
    p = lambda *a: print(*a, file=out)
    p("| Picture | Kind | Size | " + " | ".join(f"{k} PSNR / OKLab / blur" for k in contenders) + " | Delta |")
    p("|---|---|---|" + "---|" * len(contenders) + "---|")
    for name, entry in pictures.items():
        cells = []
        for k in contenders:
            r = entry["results"].get(k)
            cells.append(f"{shown(r['psnr'])} / {r['oklab']:.2f} / {shown(r['blur'])}" if r else "–")
        delta = f"{entry['delta']:+.2f}" if "delta" in entry else "–"
        size = f"{entry['size'][0]}×{entry['size'][1]}"
        p(f"| {name} | {entry['kind']} | {size} | " + " | ".join(cells) + f" | {delta} |")
    for group, summary in data.get("summary", {}).items():
        p("")
        p(f"| Contender ({group}) | Median PSNR dB | Median OKLab ×100 | Median blurred PSNR dB | Median time ms "
          f"| Median processor ms | Median ms, 256×256 |")
        p("|---|---|---|---|---|---|---|")
        for k, s in summary.items():
            cpu = f"{s['cpu_ms']:.1f}" if "cpu_ms" in s else "–"
            p(f"| {k} | {shown(s['psnr'])} | {s['oklab']:.2f} | {shown(s['blur'])} | {s['ms']:.1f} | {cpu} | "
              f"{s['ms_256']:.1f} |")


def contact_sheet(data, path, scale):
    """A row a picture: the source, then each contender's result, at SCALE, on grey; a title line above."""
    from PIL import ImageDraw
    pictures = data["pictures"]
    contenders = contenders_of(pictures)
    cell, title = 256 * scale + 8, 14
    heights = [e["size"][1] * scale + 8 + title for e in pictures.values()]
    sheet = Image.new("RGB", ((len(contenders) + 1) * cell, sum(heights)), (128, 128, 128))
    draw = ImageDraw.Draw(sheet)
    y = 0
    for (name, entry), height in zip(pictures.items(), heights):
        w, h = entry["size"]
        source = load_rgba(entry["file"], w, h)
        draw.text((4, y + 1), name, fill=(255, 255, 255))
        sheet.paste(Image.fromarray(source).resize((w * scale, h * scale), Image.NEAREST), (4, y + title + 4),
                    Image.fromarray(source[..., 3]).resize((w * scale, h * scale), Image.NEAREST))
        for col, k in enumerate(contenders, 1):
            r = entry["results"].get(k)
            if not r or not os.path.exists(r.get("file", "")):
                continue
            pixels = load_rgba(r["file"], w, h)
            # transparent where the source is (nrbx's export shows transparency as black)
            pixels[..., 3] = np.where(source[..., 3] >= 128, pixels[..., 3], 0)
            shown = Image.fromarray(pixels).resize((w * scale, h * scale), Image.NEAREST)
            draw.text((col * cell + 4, y + 1), f"{k} {shown_db(r['psnr'])}/{r['blur']:.1f}", fill=(255, 255, 255))
            sheet.paste(shown, (col * cell + 4, y + title + 4), shown)
        y += height
    sheet.save(path)


def shown_db(value):
    return "exact" if value >= EXACT else f"{value:.2f}"


def compare(data, old, out):
    """Per picture, what changed in nrbx's quality against OLD (pictures whose figures all stayed within
    0.005 are counted, not listed; times, which move with the load, only as medians)."""
    p = lambda *a: print(*a, file=out)
    p("")
    p(f"Against {old['meta'].get('file', 'the earlier run')} (nrbx {old['meta'].get('nrbx_commit', '?')}, "
      f"{old['meta'].get('date', '?')}): new minus old")
    keys = ["nrbx-plain", "nrbx-diffusion", "nrbx-ordered"]
    p(f"{'picture':26} {'plain PSNR/OKLab/blur':>24} {'diffusion PSNR/OKLab/blur':>26} {'vs anchor: old -> new':>22}")
    totals = {k: [] for k in keys}
    unchanged = 0
    for name, entry in data["pictures"].items():
        before = old["pictures"].get(name)
        if not before:
            continue
        line, moved = f"{name[:26]:26}", False
        for k in keys:
            a, b = entry["results"].get(k), before["results"].get(k)
            if not (a and b):
                if k != "nrbx-ordered":
                    line += f" {'-':>24}"
                continue
            d = {m: a[m] - b[m] for m in ("psnr", "oklab", "blur", "ms")}
            totals[k].append(d)
            moved |= any(abs(d[m]) > 0.005 for m in ("psnr", "oklab", "blur"))
            if k != "nrbx-ordered":
                line += f" {d['psnr']:+8.2f} {d['oklab']:+6.2f} {d['blur']:+8.2f}"
        if "delta" in entry and "delta" in before:
            line += f"   {before['delta']:+7.2f} -> {entry['delta']:+7.2f}"
        if moved:
            p(line)
        else:
            unchanged += 1
    p(f"({unchanged} pictures with the same quality, not listed)")
    for group in ("real", "generated"):
        a, b = data.get("checks", {}).get(group), old.get("checks", {}).get(group)
        if a and b and "median_lead_db" in a and "median_lead_db" in b:
            p(f"targets, {group}: more than 0.1 dB below {b['more_than_0.1_below']} -> {a['more_than_0.1_below']}; "
              f"median lead {b['median_lead_db']:+.2f} -> {a['median_lead_db']:+.2f} dB; OKLab ratio "
              f"{b['oklab_ratio']:.3f} -> {a['oklab_ratio']:.3f}; diffusion wins on blur "
              f"{b.get('dither_wins_on_blur', '?')} -> {a.get('dither_wins_on_blur', '?')}")
    for k in keys:
        if totals[k]:
            rows = totals[k]
            p(f"{k}: median change PSNR {median([r['psnr'] for r in rows]):+.3f} dB, OKLab "
              f"{median([r['oklab'] for r in rows]):+.3f}, blur {median([r['blur'] for r in rows]):+.3f} dB, time "
              f"{median([r['ms'] for r in rows]):+.1f} ms; PSNR better on "
              f"{sum(r['psnr'] > 0.005 for r in rows)}, worse on {sum(r['psnr'] < -0.005 for r in rows)} "
              f"of {len(rows)} pictures")


# --- main ------------------------------------------------------------------------------------------------

def git_commit(folder):
    r = subprocess.run(["git", "-C", folder, "describe", "--always", "--dirty"], capture_output=True, text=True)
    return r.stdout.strip() or "?"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog="\n".join(__doc__.splitlines()[2:]))
    parser.add_argument("--bin", default="build/bin", help="folder of nrbx-import and nrbx-export")
    parser.add_argument("--pictures", choices=("real", "generated", "all"), default="all")
    parser.add_argument("--only", nargs="+", metavar="NAME", help="only these pictures (shell patterns: "
                        "'portrait-*')")
    parser.add_argument("--jobs", type=int, default=1, help="pictures measured at once (default 1; times "
                        "are steadier with 1)")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of nrbx-import per case (median shown)")
    parser.add_argument("--no-anchors", action="store_true", help="leave out Qualetize and tiledpalettequant")
    parser.add_argument("--anchors", default=os.path.join(ROOT, "..", "shared", "anchors"),
                        help="folder of run_anchor.py (default: <project root>/../shared/anchors)")
    parser.add_argument("--no-tpq", action="store_true", help="leave out tiledpalettequant (seconds a picture "
                        "when not cached)")
    parser.add_argument("--retime", action="store_true", help="run Qualetize afresh even when cached, --runs "
                        "times, so its time is taken as nrbx's and under the same load (tiledpalettequant's stays "
                        "cached)")
    parser.add_argument("--tpq-dither", action="store_true", help="add tiledpalettequant's dithered mode")
    parser.add_argument("--ordered", action="store_true", help="add nrbx's ordered dither")
    parser.add_argument("--no-baselines", dest="baselines", action="store_false",
                        help="leave out nrbx-reduce-baseline even when it is in --bin")
    parser.add_argument("--cache", help=f"cache folder (default $NRBX_ART or {real_art.DEFAULT_CACHE})")
    parser.add_argument("--samples", default=os.path.join(ROOT, "samples"))
    parser.add_argument("--work", help="folder for nrbx's files (default: a temporary one, removed)")
    parser.add_argument("--json", metavar="FILE", help="write every figure to FILE")
    parser.add_argument("--compare", metavar="OLD.json", help="per-picture deltas against an earlier --json")
    parser.add_argument("--report", metavar="FILE", help="only print the report of an earlier --json FILE")
    parser.add_argument("--markdown", metavar="FILE", help="also write the tables as Markdown to FILE")
    parser.add_argument("--sheet", metavar="PNG", help="also draw every picture and its results side by side "
                        "(best with --only)")
    parser.add_argument("--sheet-scale", type=int, default=1, metavar="N", help="pixels drawn N x N in --sheet")
    args = parser.parse_args()
    log = sys.stderr
    if args.report:
        with open(args.report) as f:
            data = json.load(f)
        report(data, sys.stdout)
        if args.markdown:
            with open(args.markdown, "w") as f:
                markdown(data, f)
        if args.compare:
            with open(args.compare) as f:
                old = json.load(f)
            old["meta"]["file"] = args.compare
            compare(data, old, sys.stdout)
        return 0
    cache = real_art.cache_folder(args.cache)
    bin_dir = os.path.abspath(args.bin)
    tool = lambda name: os.path.join(bin_dir, name)
    for needed in ("nrbx-import", "nrbx-export"):
        if not os.access(tool(needed), os.X_OK):
            raise SystemExit(f"no {tool(needed)}: build it (see docs/performance.md) or give --bin")
    args.baselines = args.baselines and os.access(tool("nrbx-reduce-baseline"), os.X_OK)
    # nrbx syncs each file it writes to the disk; on a memory file system that costs nothing, so the
    # time is the conversion's, as for the anchors, whose outputs are not synced
    shm = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
    work = args.work or tempfile.mkdtemp(prefix="nrbx-reduce-", dir=shm)
    os.makedirs(work, exist_ok=True)
    try:
        return measure_all(args, tool, bin_dir, cache, work, log)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)


def measure_all(args, tool, bin_dir, cache, work, log):
    old = None
    if args.compare:
        with open(args.compare) as f:
            old = json.load(f)
        old["meta"]["file"] = args.compare

    pictures = []
    if args.pictures in ("generated", "all"):
        pictures += generated_pictures(tool, args.samples, cache, work)
    if args.pictures in ("real", "all"):
        pictures += real_art.make(cache, None, log)
        data_art = real_art.versions(cache)
    else:
        data_art = {}
    if args.only:
        unknown = [pattern for pattern in args.only if not any(fnmatch.fnmatch(n, pattern) for n, _, _ in pictures)]
        if unknown:
            raise SystemExit(f"no picture named {', '.join(unknown)} (names: {' '.join(n for n, _, _ in pictures)})")
        pictures = [p for p in pictures if any(fnmatch.fnmatch(p[0], pattern) for pattern in args.only)]

    anchors = None
    if not args.no_anchors:
        anchors = Anchors(os.path.abspath(args.anchors), cache, log)
        if anchors.missing:
            print(f"anchors skipped: {anchors.missing}", file=log)
            anchors = None
    args.anchor_contenders = ["qualetize-plain", "qualetize-dither"] + ([] if args.no_tpq else ["tpq"]) + \
        (["tpq-dither"] if args.tpq_dither else [])

    load_before = os.getloadavg()
    started = time.time()
    data = {"meta": {"date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), "nrbx_commit": git_commit(ROOT),
                     "bin": bin_dir, "work": work, "runs": args.runs, "jobs": args.jobs, "cpu": platform.processor() or
                     platform.machine(), "cores": os.cpu_count(), "load_before": [round(x, 2) for x in load_before]},
            "pictures": {}}
    try:
        with open("/proc/cpuinfo") as f:
            data["meta"]["cpu"] = next(l.split(":", 1)[1].strip() for l in f if l.startswith("model name"))
    except (OSError, StopIteration):
        pass
    if anchors is not None:
        data["meta"]["anchors"] = anchors.commits
    data["meta"]["art_packages"] = data_art
    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        futures = {pool.submit(measure_picture, args, tool, anchors, name, kind, path, work, log): name
                   for name, kind, path in pictures}
        for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
            name = futures[future]
            try:
                results[name] = future.result()
                print(f"[{done}/{len(pictures)}] {name}", file=log)
            except Exception as e:  # one picture's failure is reported, the rest measured
                print(f"[{done}/{len(pictures)}] {name}: FAILED: {e}", file=log)
                data["meta"].setdefault("failed", {})[name] = str(e)
    for name, _, _ in pictures:
        if name in results:
            data["pictures"][name] = results[name]
    data["meta"]["load_after"] = [round(x, 2) for x in os.getloadavg()]
    data["meta"]["seconds"] = round(time.time() - started, 1)

    report(data, sys.stdout)
    if args.markdown:
        with open(args.markdown, "w") as f:
            markdown(data, f)
    if args.sheet:
        contact_sheet(data, args.sheet, args.sheet_scale)
        print(f"pictures side by side in {args.sheet}")
    if old is not None:
        compare(data, old, sys.stdout)
    m = data["meta"]
    print(f"\nnrbx {m['nrbx_commit']} from {m['bin']}; {m['cpu']}, {m['cores']} cores; load average "
          f"{m['load_before'][0]:.2f} before, {m['load_after'][0]:.2f} after; {m['seconds']:.0f} s")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(data, f, indent=1)
        print(f"figures in {args.json}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
