"""End-to-end checks of the nrbx-export binary; every picture is read back with Pillow.

    export_e2e.py NRBX_EXPORT SAMPLES_DIR [TestCase ...]

The expected pictures come from a decoder of the pattern and palette formats written here, apart from
the program, so a fault in the program's decoding or rendering shows up as a difference.
"""
import os
import pty
import random
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

BINARY = ""
SAMPLES = ""

DEFAULT_BLOCK = ([(0, 0, 0), (0, 248, 248), (248, 248, 0), (248, 248, 248)] + [(208, 200, 176)] * 4 +
                 [(56, 8, 64)] * 7 + [(248, 248, 248)])
DEFAULT_PALETTE = DEFAULT_BLOCK * 16


def decode_pattern(data):
    """Cell grid as rows of 256 indices, from the first 32768 bytes (missing bytes are 0)."""
    data = (bytes(data) + bytes(32768))[:32768]
    grid = [[0] * 256 for _ in range(256)]
    for n in range(256):
        cx, cy = n % 16, n // 16
        for half in range(2):
            for r in range(16):
                for b in range(4):
                    byte = data[n * 128 + half * 64 + r * 4 + b]
                    x = cx * 16 + half * 8 + b * 2
                    grid[cy * 16 + r][x] = byte >> 4
                    grid[cy * 16 + r][x + 1] = byte & 15
    return grid


def decode_palette(data):
    data = (bytes(data) + bytes(512))[:512]
    table = []
    for k in range(256):
        w = data[2 * k] << 8 | data[2 * k + 1]
        table.append((((w >> 6) & 31) * 8, ((w >> 11) & 31) * 8, ((w >> 1) & 31) * 8))
    return table


def block_map(block=0, cells=()):
    """[cy][cx] block after -b and the --cells in order."""
    blocks = [[block] * 16 for _ in range(16)]
    for (x0, y0, x1, y1), n in cells:
        for cy in range(min(y0, y1), max(y0, y1) + 1):
            for cx in range(min(x0, x1), max(x0, x1) + 1):
                blocks[cy][cx] = n
    return blocks


def expected_rgb(grid, table, blocks, rect=(0, 0, 15, 15)):
    x0, x1 = sorted((rect[0], rect[2]))
    y0, y1 = sorted((rect[1], rect[3]))
    out = bytearray()
    for y in range(y0 * 16, y1 * 16 + 16):
        for x in range(x0 * 16, x1 * 16 + 16):
            out += bytes(table[blocks[y // 16][x // 16] * 16 + grid[y][x]])
    return bytes(out)


def read_picture(path):
    """(mode, size, RGB bytes, palette as list of triples or None, raw pixel values)."""
    with Image.open(path) as im:
        im.load()
        palette = None
        if im.mode == "P":
            flat = im.getpalette()
            palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
        return im.format, im.mode, im.size, im.convert("RGB").tobytes(), palette, im.tobytes()


def png_plte_entries(path):
    """Number of PLTE entries stored in a PNG, read from the chunk itself."""
    with open(path, "rb") as f:
        data = f.read()
    pos = 8
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"PLTE":
            return length // 3
        pos += 12 + length
    return 0


def run(*args, cwd=None):
    return subprocess.run([BINARY, *map(str, args)], capture_output=True, text=True, cwd=cwd, timeout=60)


class Base(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="nrbx-export-")
        self.dir = self._tmp.name
        rng = random.Random(self.id())
        self.pattern_bytes = bytes(rng.randrange(256) for _ in range(32768))
        self.palette_bytes = bytes(rng.randrange(256) for _ in range(512))
        self.pcg = self.write("rand.pcg", self.pattern_bytes)
        self.pal = self.write("rand.pal", self.palette_bytes)
        self.grid = decode_pattern(self.pattern_bytes)
        self.table = decode_palette(self.palette_bytes)

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def convert(self, *args):
        result = run(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        self.assertEqual(result.stdout, "")
        return result


class IndexedSprite(Base):
    """--indexed sprite: the table is the sprite palette, the pixel values are the cell grid's indices."""

    def test_eight_bits_round_trip_with_mixed_blocks(self):
        cells = [((2, 3, 6, 9), 5), ((4, 4, 15, 5), 12)]
        blocks = block_map(7, cells)
        args = ["-b", "7"] + [a for (r, n) in cells for a in ("--cells", f"{r[0]},{r[1]}:{r[2]},{r[3]}={n}")]
        for name in ("s.bmp", "s.png"):
            self.convert(self.pcg, "-p", self.pal, "-d", "8", "--indexed", "sprite", *args, "-o", self.path(name))
            fmt, mode, size, rgb, palette, values = read_picture(self.path(name))
            self.assertEqual((mode, size), ("P", (256, 256)), name)
            self.assertEqual(palette[:256], self.table, name)
            want = bytes(blocks[y // 16][x // 16] * 16 + self.grid[y][x] for y in range(256) for x in range(256))
            self.assertEqual(values, want, name)
            self.assertEqual(rgb, expected_rgb(self.grid, self.table, blocks), name)
        self.assertEqual(png_plte_entries(self.path("s.png")), 256)
        self.assertEqual(os.path.getsize(self.path("s.bmp")), 66614)

    def test_four_bits_keep_the_colour_index_in_one_block(self):
        for name in ("s4.bmp", "s4.png"):
            # The selection stays inside the cells that --cells moved to block 9.
            self.convert(self.pcg, "-p", self.pal, "-b", "3", "--cells", "1,1:8,8=9", "-s", "7,8:2,1", "-d", "4",
                         "--indexed", "sprite", "-o", self.path(name))
            fmt, mode, size, rgb, palette, values = read_picture(self.path(name))
            self.assertEqual((mode, size), ("P", (96, 128)), name)
            self.assertEqual(palette[:16], self.table[9 * 16:10 * 16], name)
            want = bytes(self.grid[y][x] for y in range(16, 144) for x in range(32, 128))
            self.assertEqual(values, want, name)
        self.assertEqual(png_plte_entries(self.path("s4.png")), 16)
        self.assertEqual(os.path.getsize(self.path("s4.bmp")), 54 + 64 + 96 * 128 // 2)

    def test_default_palette_and_demo_sample(self):
        pcg = os.path.join(SAMPLES, "demo.pcg")
        with open(pcg, "rb") as f:
            grid = decode_pattern(f.read())
        self.convert(pcg, "-d", "8", "--indexed", "sprite", "-o", self.path("d.png"))
        _, _, _, rgb, palette, values = read_picture(self.path("d.png"))
        self.assertEqual(palette[:256], DEFAULT_PALETTE)
        self.assertEqual(values, bytes(grid[y][x] for y in range(256) for x in range(256)))

    def test_four_bits_over_mixed_blocks_is_a_usage_error(self):
        result = run(self.pcg, "-d", "4", "--indexed", "sprite", "--cells", "0,0:0,0=1", "-o", self.path("x.bmp"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("one palette block", result.stderr)
        self.assertEqual(result.stderr.count("\n"), 1)
        self.assertFalse(os.path.exists(self.path("x.bmp")))


class Rendering(Base):
    """24 bits: the picture as the window renders it, blocks, --cells in order, selections."""

    def test_whole_picture_matches_the_reference_rendering(self):
        self.convert(self.pcg, "-p", self.pal, "-o", self.path("w.bmp"))
        self.convert(self.pcg, "-p", self.pal, "-o", self.path("w.png"))
        want = expected_rgb(self.grid, self.table, block_map(0))
        for name in ("w.bmp", "w.png"):
            fmt, mode, size, rgb, _, _ = read_picture(self.path(name))
            self.assertEqual((mode, size), ("RGB", (256, 256)), name)
            self.assertEqual(rgb, want, name)
        self.assertEqual(os.path.getsize(self.path("w.bmp")), 196662)

    def test_without_palette_the_default_palette_is_used(self):
        self.convert(self.pcg, "-b", "4", "-o", self.path("d.bmp"))
        _, _, _, rgb, _, _ = read_picture(self.path("d.bmp"))
        self.assertEqual(rgb, expected_rgb(self.grid, DEFAULT_PALETTE, block_map(4)))

    def test_block_and_cells_mix_blocks_later_cells_win(self):
        cells = [((0, 0, 9, 9), 2), ((12, 15, 5, 7), 14), ((8, 8, 8, 8), 15)]
        args = [a for (r, n) in cells for a in ("--cells", f"{r[0]},{r[1]}:{r[2]},{r[3]}={n}")]
        self.convert(self.pcg, "-p", self.pal, "--block", "11", *args, "-o", self.path("m.png"))
        _, _, _, rgb, _, _ = read_picture(self.path("m.png"))
        self.assertEqual(rgb, expected_rgb(self.grid, self.table, block_map(11, cells)))

    def test_selection_with_reversed_corners(self):
        self.convert(self.pcg, "-p", self.pal, "-b", "6", "-s", "5,7:2,3", "-o", self.path("a.bmp"))
        self.convert(self.pcg, "-p", self.pal, "-b", "6", "-s", "2,3:5,7", "-o", self.path("b.bmp"))
        self.convert(self.pcg, "-p", self.pal, "-b", "6", "-s", "2,7:5,3", "-o", self.path("c.bmp"))
        self.assertEqual(self.read("a.bmp"), self.read("b.bmp"))
        self.assertEqual(self.read("a.bmp"), self.read("c.bmp"))
        _, _, size, rgb, _, _ = read_picture(self.path("a.bmp"))
        self.assertEqual(size, (64, 80))
        self.assertEqual(rgb, expected_rgb(self.grid, self.table, block_map(6), (2, 3, 5, 7)))

    def test_single_cell_and_whole_selection(self):
        self.convert(self.pcg, "-p", self.pal, "-s", "15,15:15,15", "-o", self.path("one.bmp"))
        self.assertEqual(os.path.getsize(self.path("one.bmp")), 822)
        _, _, size, rgb, _, _ = read_picture(self.path("one.bmp"))
        self.assertEqual(rgb, expected_rgb(self.grid, self.table, block_map(0), (15, 15, 15, 15)))
        self.convert(self.pcg, "-p", self.pal, "-s", "15,15:0,0", "-o", self.path("all.bmp"))
        self.convert(self.pcg, "-p", self.pal, "-o", self.path("whole.bmp"))
        self.assertEqual(self.read("all.bmp"), self.read("whole.bmp"))

    def test_short_files_after_long_ones_in_a_batch_start_from_zeros(self):
        # In the window a short file keeps the tail of the one before; every input here starts afresh.
        short = self.write("short.pcg", self.pattern_bytes[:128])
        short_pal = self.write("short.pal", bytes([0x07, 0xC0]) * 4)
        result = run(self.pcg, short, "-p", short_pal, "-O", self.path(""))
        self.assertEqual(result.returncode, 0, result.stderr)
        # Converted as the window loads them, with a warning for each input of another size.
        self.assertEqual(result.stderr,
                         f"nrbx-export: warning: palette file '{short_pal}' has 8 bytes, not 512; the rest is "
                         "taken as zeros\n"
                         f"nrbx-export: warning: pattern file '{short}' has 128 bytes, not 32768; the rest is "
                         "taken as zeros\n")
        self.convert(self.pcg, short, "-p", short_pal, "-O", self.path(""), "--quiet")
        _, _, _, rgb, _, _ = read_picture(self.path("short.bmp"))
        table = decode_palette(bytes([0x07, 0xC0]) * 4)
        self.assertEqual(rgb, expected_rgb(decode_pattern(self.pattern_bytes[:128]), table, block_map(0)))


class Depths(Base):
    """8 and 4 bits by the window's nearest-colour conversion, in both formats."""

    def nearest_ok(self, rgb, palette, values):
        # Every pixel carries a table colour that is nearest to the 24-bit colour; exact matches win.
        cache = {}
        for i in range(0, len(rgb), 3):
            colour = rgb[i:i + 3]
            key = (colour, values[i // 3])
            if key in cache:
                continue
            best = min(sum((a - b) ** 2 for a, b in zip(colour, entry)) for entry in palette)
            got = sum((a - b) ** 2 for a, b in zip(colour, palette[values[i // 3]]))
            self.assertEqual(got, best, f"pixel {i // 3}: {tuple(colour)}")
            cache[key] = True

    def test_bmp_and_png_carry_the_same_table_and_indices(self):
        for depth, entries, bmp_size in ((8, 256, 66614), (4, 16, 32886)):
            self.convert(self.pcg, "-p", self.pal, "-b", "2", "-d", depth, "-o", self.path(f"n{depth}.bmp"))
            self.convert(self.pcg, "-p", self.pal, "-b", "2", "-d", depth, "-o", self.path(f"n{depth}.png"))
            self.convert(self.pcg, "-p", self.pal, "-b", "2", "-d", depth, "--indexed", "nearest", "-o",
                         self.path(f"e{depth}.bmp"))
            self.assertEqual(self.read(f"e{depth}.bmp"), self.read(f"n{depth}.bmp"), "nearest is the default")
            self.assertEqual(os.path.getsize(self.path(f"n{depth}.bmp")), bmp_size)
            self.assertEqual(png_plte_entries(self.path(f"n{depth}.png")), entries)
            b = read_picture(self.path(f"n{depth}.bmp"))
            p = read_picture(self.path(f"n{depth}.png"))
            self.assertEqual(b[1], "P")
            self.assertEqual(p[1], "P")
            self.assertEqual(b[4][:entries], p[4][:entries], depth)
            self.assertEqual(b[5], p[5], depth)
            self.assertTrue(max(b[5]) < entries)
            truth = expected_rgb(self.grid, self.table, block_map(2))
            self.nearest_ok(truth, b[4][:entries], b[5])

    def test_colours_of_the_fixed_tables_pass_unchanged(self):
        # Palette words scale by 8, so of the 16-colour table black, maroon, green, olive, navy, purple,
        # teal, grey and silver can be given exactly; each must map to its own entry at 4 and 8 bits.
        exact = {0: (0, 0, 0), 1: (128, 0, 0), 2: (0, 128, 0), 3: (128, 128, 0), 4: (0, 0, 128),
                 5: (128, 0, 128), 6: (0, 128, 128), 7: (128, 128, 128), 8: (192, 192, 192)}
        colours = [exact[i % 9] for i in range(16)] * 16
        words = [(g // 8) << 11 | (r // 8) << 6 | (b // 8) << 1 for (r, g, b) in colours]
        self.write("k.pal", b"".join(struct.pack(">H", w) for w in words))
        table = decode_palette(self.read("k.pal"))
        self.assertEqual(table, colours)
        truth = expected_rgb(self.grid, table, block_map(0))
        for depth in (4, 8):
            self.convert(self.pcg, "-p", self.path("k.pal"), "-d", depth, "-o", self.path(f"k{depth}.png"))
            _, _, _, rgb, palette, values = read_picture(self.path(f"k{depth}.png"))
            self.assertEqual(rgb, truth, depth)
        _, _, _, _, _, values = read_picture(self.path("k4.png"))
        self.assertEqual(values, bytes(self.grid[y][x] % 9 for y in range(256) for x in range(256)))

    def test_format_option_and_extension(self):
        self.convert(self.pcg, "-f", "png", "-o", self.path("looks.bmp"))
        self.assertEqual(read_picture(self.path("looks.bmp"))[0], "PNG")
        self.convert(self.pcg, "-o", self.path("UPPER.PNG"))
        self.assertEqual(read_picture(self.path("UPPER.PNG"))[0], "PNG")
        self.convert(self.pcg, "-f", "bmp", "-o", self.path("other.dat"))
        self.assertEqual(read_picture(self.path("other.dat"))[0], "BMP")
        self.convert(self.pcg, "-f", "bmp", "-o", self.path("looks.png"))
        self.assertEqual(read_picture(self.path("looks.png"))[0], "BMP")


class Batch(Base):
    """Many inputs: naming, failures of one input, progress and messages."""

    def test_missing_input_fails_alone(self):
        other = self.write("other.pat", self.pattern_bytes[::-1])
        out = self.path("out")
        os.mkdir(out)
        missing = self.path("missing.pcg")
        result = run(self.pcg, missing, other, "-O", out, "-d", "8", "-f", "png")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"nrbx-export: ファイル {missing} は開けません. (No such file or directory)\n")
        self.assertEqual(sorted(os.listdir(out)), ["other.png", "rand.png"])
        self.assertEqual(read_picture(os.path.join(out, "rand.png"))[2], (256, 256))

    def test_outputs_land_beside_inputs_without_output_options(self):
        self.convert(self.pcg, "-f", "png")
        self.assertEqual(read_picture(self.path("rand.png"))[0], "PNG")
        result = run("rand.pcg", cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read_picture(self.path("rand.bmp"))[0], "BMP")

    def test_failed_input_leaves_an_existing_output_untouched(self):
        self.write("gone.bmp", b"precious")
        result = run(self.path("gone.pcg"), "-o", self.path("gone.bmp"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.read("gone.bmp"), b"precious")
        self.assertEqual(os.listdir(self.dir).count("gone.bmp"), 1)
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith(".")], [])

    def test_unwritable_output_is_the_create_failure(self):
        target = self.path("no/such/dir/x.bmp")
        result = run(self.pcg, "-o", target)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"nrbx-export: ファイル {target} を作成できません. (No such file or directory)\n")

    def test_missing_palette_is_reported_once(self):
        other = self.write("b.pcg", self.pattern_bytes)
        pal = self.path("none.pal")
        result = run(self.pcg, other, "-p", pal)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"nrbx-export: ファイル {pal} は開けません. (No such file or directory)\n")
        self.assertFalse(os.path.exists(self.path("rand.bmp")))

    def test_an_existing_output_is_replaced_whole(self):
        self.write("rand.bmp", b"x" * 500000)
        self.convert(self.pcg)
        self.assertEqual(os.path.getsize(self.path("rand.bmp")), 196662)

    def test_silent_on_a_pipe_progress_on_a_terminal_lines_with_verbose(self):
        other = self.write("b.pcg", self.pattern_bytes)
        result = run(self.pcg, other)
        self.assertEqual((result.returncode, result.stderr), (0, ""))

        result = run(self.pcg, other, "-v")
        self.assertEqual(result.stderr, f"[1/2] {self.pcg} -> {self.path('rand.bmp')}\n"
                                        f"[2/2] {other} -> {self.path('b.bmp')}\n")

        primary, secondary = pty.openpty()
        try:
            proc = subprocess.run([BINARY, self.pcg, other], stdout=subprocess.DEVNULL, stderr=secondary,
                                  timeout=60)
            os.close(secondary)
            secondary = None
            seen = b""
            while True:
                try:
                    chunk = os.read(primary, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                seen += chunk
        finally:
            os.close(primary)
            if secondary is not None:
                os.close(secondary)
        self.assertEqual(proc.returncode, 0)
        text = seen.decode()
        self.assertIn(f"[1/2] {self.pcg}", text)
        self.assertIn(f"[2/2] {other}", text)
        self.assertTrue(text.endswith("\r\033[K"), repr(text))

        # One file on a terminal: nothing to show.
        primary, secondary = pty.openpty()
        proc = subprocess.run([BINARY, self.pcg], stdout=subprocess.DEVNULL, stderr=secondary, timeout=60)
        os.close(secondary)
        os.set_blocking(primary, False)
        try:
            leftover = os.read(primary, 4096)
        except (BlockingIOError, OSError):
            leftover = b""
        os.close(primary)
        self.assertEqual((proc.returncode, leftover), (0, b""))


class Usage(Base):
    """Usage errors: exit 2, one line on stderr, nothing written; help and version."""

    def test_usage_errors(self):
        os.mkdir(self.path("out"))
        self.write("plain", b"")
        cases = [
            [],
            ["--bogus", self.pcg],
            [self.pcg, "-b", "16"],
            [self.pcg, "-d", "16"],
            [self.pcg, "-f", "gif"],
            [self.pcg, "-s", "0,0:16,0"],
            [self.pcg, "--cells", "0,0:1,1"],
            [self.pcg, "--indexed", "sprite"],
            [self.pcg, "--indexed", "lossless", "-d", "8"],
            [self.pcg, self.pcg, "-o", self.path("x.bmp")],
            [self.pcg, "-o", self.path("x.bmp"), "-O", self.path("out")],
            [self.pcg, "-O", self.path("nowhere")],
            [self.pcg, "-O", self.path("plain")],
            [self.pcg, self.write("rand.dat", b""), "-O", self.path("out")],
            [self.pcg, "-o", self.pcg],
            [self.pcg, "-p", self.pal, "-o", self.pal],
            [self.pcg, "-p"],
        ]
        before = sorted(os.listdir(self.dir)), sorted(os.listdir(self.path("out")))
        for args in cases:
            result = run(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(result.stderr.count("\n"), 1, (args, result.stderr))
            self.assertTrue(result.stderr.startswith("nrbx-export: "), result.stderr)
            self.assertIn("--help", result.stderr)
            self.assertEqual(result.stdout, "")
        self.assertEqual((sorted(os.listdir(self.dir)), sorted(os.listdir(self.path("out")))), before)
        self.assertEqual(self.read("rand.pcg"), self.pattern_bytes)
        self.assertEqual(self.read("rand.pal"), self.palette_bytes)

    def test_help_and_version(self):
        for flag in ("-h", "--help"):
            result = run(flag)
            self.assertEqual(result.returncode, 0)
            self.assertTrue(result.stdout.startswith("Usage: nrbx-export PATTERN..."))
            for option in ("--palette", "--block", "--cells", "--select", "--depth", "--output", "--output-dir",
                           "--format", "--indexed", "--verbose", "--version"):
                self.assertIn(option, result.stdout)
        result = run("--version")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "nrbx-export 0.20\n", ""))


def main():
    global BINARY, SAMPLES
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    BINARY, SAMPLES = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
