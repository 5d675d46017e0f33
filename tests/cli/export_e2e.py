"""End-to-end checks of the nrbx-export binary; every picture is read back with Pillow.

    export_e2e.py NRBX_EXPORT SAMPLES_DIR [TestCase ...]

The expected pictures come from a decoder of the pattern and palette formats written here, apart from
the program, so a fault in the program's decoding or rendering shows up as a difference.
"""
import os
import pty
import random
import shlex
import struct
import subprocess
import sys
import unittest

from PIL import Image

from scratch import ScratchTest

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


class Base(ScratchTest):
    scratch_prefix = "nrbx-export-"

    def setUp(self):
        super().setUp()
        rng = random.Random(self.id())
        self.pattern_bytes = bytes(rng.randrange(256) for _ in range(32768))
        self.palette_bytes = bytes(rng.randrange(256) for _ in range(512))
        self.pcg = self.write("rand.pcg", self.pattern_bytes)
        self.pal = self.write("rand.pal", self.palette_bytes)
        self.grid = decode_pattern(self.pattern_bytes)
        self.table = decode_palette(self.palette_bytes)

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

        returncode, text = on_terminal([self.pcg, other])
        self.assertEqual(returncode, 0)
        self.assertIn(f"[1/2] {self.pcg}", text)
        self.assertIn(f"[2/2] {other}", text)
        self.assertTrue(text.endswith("\r\033[K"), repr(text))

        # One file on a terminal: nothing to show.
        self.assertEqual(on_terminal([self.pcg]), (0, ""))


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


def on_terminal(args, term="xterm", stdout_tty=False, stdin_tty=False):
    """Runs with stderr (and optionally stdout, stdin) on a pseudo-terminal: (exit status, what it showed)."""
    primary, secondary = pty.openpty()
    try:
        proc = subprocess.run([BINARY, *map(str, args)], stdin=secondary if stdin_tty else subprocess.DEVNULL,
                              stdout=secondary if stdout_tty else subprocess.DEVNULL, stderr=secondary,
                              timeout=60, env=dict(os.environ, TERM=term))
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
    return proc.returncode, seen.decode()


class Streams(Base):
    """'-' as standard input and output, through real pipes."""

    def test_pipes_give_the_pixels_of_a_file_run(self):
        self.convert(self.pcg, "-p", self.pal, "-f", "png", "-o", self.path("file.png"))
        reader = ("import io, sys; from PIL import Image; im = Image.open(io.BytesIO(sys.stdin.buffer.read())); "
                  "sys.stdout.write(im.format + ' ' + im.convert('RGB').tobytes().hex())")
        q = shlex.quote
        shell = f"cat {q(self.pcg)} | {q(BINARY)} - -p {q(self.pal)} -f png -o - | {q(sys.executable)} -c {q(reader)}"
        piped = subprocess.run(shell, shell=True, capture_output=True, text=True, timeout=60)
        self.assertEqual(piped.stderr, "")
        fmt, pixels = piped.stdout.split()
        self.assertEqual(fmt, "PNG")
        self.assertEqual(bytes.fromhex(pixels), read_picture(self.path("file.png"))[3])
        # The palette from standard input, a BMP to standard output: the file run's bytes exactly.
        self.convert(self.pcg, "-p", self.pal, "-o", self.path("file.bmp"))
        with open(self.pal, "rb") as pal:
            out = subprocess.run([BINARY, self.pcg, "-p", "-", "-o", "-"], stdin=pal, capture_output=True,
                                 timeout=60)
        self.assertEqual((out.returncode, out.stderr), (0, b""))
        self.assertEqual(out.stdout, self.read("file.bmp"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["file.bmp", "file.png", "rand.pal", "rand.pcg"])

    def test_standard_streams_misused_or_on_a_terminal(self):
        for args in ([self.pcg, "-f", "png", "-o", "-"], ["-", "-o", self.path("x.bmp")]):
            status, shown = on_terminal(args, stdout_tty=True, stdin_tty=True)
            self.assertEqual(status, 2, shown)
            self.assertIn("is a terminal", shown)
        for args, message in (
                (["-", "-p", "-", "-o", self.path("x.bmp")], "standard input ('-') can be read only once"),
                (["-"], "standard input ('-') needs --output"),
                ([self.pcg, "--split", "-o", "-"], "--split writes several files")):
            result = run(*args)
            self.assertEqual(result.returncode, 2)
            self.assertIn(message, result.stderr)
        self.assertEqual(sorted(os.listdir(self.dir)), ["rand.pal", "rand.pcg"])
        # "./-" is a file named "-"; its picture lands beside it.
        self.write("-", self.pattern_bytes)
        result = run("./-", "-f", "png", cwd=self.dir)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(read_picture(self.path("-.png"))[3], read_picture_of(self, self.pcg))


def read_picture_of(test, pattern):
    """RGB bytes of the default 24-bit PNG of a pattern file, made by a separate run."""
    out = test.path("reference.png")
    test.convert(pattern, "-f", "png", "-o", out)
    rgb = read_picture(out)[3]
    os.unlink(out)
    return rgb


class Options(Base):
    """Options as getopt_long reads them; output names; messages that quote user text."""

    def test_abbreviations_and_bundles_parse_as_the_long_forms(self):
        self.convert(self.pcg, "--palette", self.pal, "--block", "3", "--depth", "8",
                     "--indexed", "sprite", "--format", "png", "--output", self.path("long.png"), "--quiet")
        # "--pal" and "--blo" also start --palette-out and --block-map, which only extend them.
        result = run(self.pcg, "--pal", self.pal, "--blo=3", "-qd8", "--ind", "sprite", "--form=png", "-o",
                     self.path("short.png"))
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(self.read("short.png"), self.read("long.png"))
        result = run(self.pcg, "--s", "1,1:2,2", "-o", self.path("x.png"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("ambiguous option '--s' (", result.stderr)

    def test_output_name_needs_a_known_extension(self):
        for name in ("m.jpg", "m", "m.png.gz"):
            result = run(self.pcg, "-o", self.path(name))
            self.assertEqual(result.returncode, 2)
            self.assertIn("(.bmp, .png)", result.stderr)
            self.assertEqual(result.stderr.count("\n"), 1)
        self.assertEqual(sorted(os.listdir(self.dir)), ["rand.pal", "rand.pcg"])

    def test_messages_escape_control_characters_and_give_reasons(self):
        name = self.path("bad\nname\033[2J.pcg")
        result = run(name, "-O", self.dir)
        self.assertEqual(result.returncode, 1)
        escaped = name.replace("\n", "\\n").replace("\033", "\\033")
        self.assertEqual(result.stderr, f"nrbx-export: ファイル {escaped} は開けません. (No such file or directory)\n")
        result = run(self.pcg, "-b", "x\ny")
        self.assertEqual(result.stderr.count("\n"), 1)
        self.assertIn("'x\\ny'", result.stderr)
        os.mkdir(self.path("dir.pcg"))
        result = run(self.path("dir.pcg"), "-o", self.path("d.bmp"))
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stderr.endswith("は開けません. (Is a directory)\n"), result.stderr)

    def test_one_output_by_two_names_is_refused_before_writing(self):
        os.mkdir(self.path("real"))
        os.symlink("real", self.path("linked"))
        self.write("real/b.pcg", self.pattern_bytes)
        self.write("a.dat", self.pattern_bytes)
        for args, cwd in (
                (["a.dat", os.path.join(self.dir, "a.dat"), "-f", "png"], self.dir),
                (["real/b.pcg", "linked/b.pcg"], self.dir),
                ([self.pcg, "-f", "bmp", "-o", self.pcg], None),
                ([self.pcg, "-p", self.pal, "-f", "bmp", "-o", os.path.join(self.dir, "linked", "..", "rand.pal")],
                 None)):
            result = run(*args, cwd=cwd)
            self.assertEqual(result.returncode, 2, (args, result.stderr))
            self.assertRegex(result.stderr, "would both be written|would replace")
        self.assertEqual(sorted(os.listdir(self.dir)), ["a.dat", "linked", "rand.pal", "rand.pcg", "real"])
        self.assertEqual(os.listdir(self.path("real")), ["b.pcg"])

    def test_progress_only_where_it_can_be_redrawn(self):
        other = self.write("b.pcg", self.pattern_bytes)
        self.assertIn("\r\033[K", on_terminal([self.pcg, other], term="xterm")[1])
        self.assertEqual(on_terminal([self.pcg, other], term="dumb"), (0, ""))
        self.assertEqual(on_terminal([self.pcg, other, "-q"], term="xterm"), (0, ""))


class Pictures(Base):
    """--transparent, --scale and --split, read back with Pillow."""

    def test_transparent_marks_exactly_colour_index_zero(self):
        zero = bytes(int(self.grid[y][x] == 0) for y in range(256) for x in range(256))
        self.convert(self.pcg, "-p", self.pal, "--transparent", "-o", self.path("rgba.png"))
        with Image.open(self.path("rgba.png")) as im:
            self.assertEqual(im.mode, "RGBA")
            alpha = im.getchannel("A").tobytes()
            rgb = im.convert("RGB").tobytes()
        self.assertEqual(alpha, bytes(0 if z else 255 for z in zero))
        self.assertEqual(rgb, expected_rgb(self.grid, self.table, block_map(0)))

        cells = [((0, 0, 7, 15), 5)]
        self.convert(self.pcg, "-p", self.pal, "--cells", "0,0:7,15=5", "-d", "8", "--indexed", "sprite",
                     "--transparent", "-o", self.path("p8.png"))
        with Image.open(self.path("p8.png")) as im:
            trns = im.info["transparency"]
            values = im.tobytes()
        self.assertEqual([i for i in range(len(trns)) if trns[i] != 255], list(range(0, 241, 16)))
        self.assertTrue(all(trns[i] in (0, 255) for i in range(len(trns))))
        blocks = block_map(0, cells)
        self.assertEqual(values, bytes(blocks[y // 16][x // 16] * 16 + self.grid[y][x]
                                       for y in range(256) for x in range(256)))

        self.convert(self.pcg, "-p", self.pal, "-b", "9", "-d", "4", "--indexed", "sprite", "--transparent",
                     "-o", self.path("p4.png"))
        with Image.open(self.path("p4.png")) as im:
            self.assertEqual(im.info["transparency"], 0)

        for args in (["-o", self.path("t.bmp")], ["-d", "8", "-f", "png", "-o", self.path("t.png")]):
            result = run(self.pcg, "--transparent", *args)
            self.assertEqual(result.returncode, 2, args)
        self.assertFalse(os.path.exists(self.path("t.bmp")) or os.path.exists(self.path("t.png")))

    def test_scale_is_a_nearest_neighbour_enlargement(self):
        for extra in ([], ["-d", "8", "--indexed", "sprite", "--transparent"], ["-d", "4", "-f", "bmp"]):
            ext = "bmp" if "bmp" in extra else "png"
            one, three = self.path(f"one.{ext}"), self.path(f"three.{ext}")
            self.convert(self.pcg, "-p", self.pal, "-s", "2,1:4,5", *extra, "-o", one)
            self.convert(self.pcg, "-p", self.pal, "-s", "2,1:4,5", *extra, "--scale", "3", "-o", three)
            with Image.open(one) as a, Image.open(three) as b:
                self.assertEqual(b.size, (144, 240))
                self.assertEqual(b.mode, a.mode)
                self.assertEqual(b.tobytes(), a.resize((144, 240), Image.NEAREST).tobytes(), extra)
                self.assertEqual(b.info.get("transparency"), a.info.get("transparency"))
        for bad in ("0", "9", "2x"):
            self.assertEqual(run(self.pcg, "--scale", bad).returncode, 2)

    def test_split_writes_one_file_per_cell(self):
        os.mkdir(self.path("out"))
        self.convert(self.pcg, "-p", self.pal, "--split", "-s", "14,2:15,3", "-f", "png", "-O", self.path("out"))
        self.assertEqual(sorted(os.listdir(self.path("out"))),
                         ["rand-14-02.png", "rand-14-03.png", "rand-15-02.png", "rand-15-03.png"])
        for cx, cy in ((14, 2), (15, 3)):
            _, _, size, rgb, _, _ = read_picture(self.path(f"out/rand-{cx}-{cy:02d}.png"))
            self.assertEqual(size, (16, 16))
            self.assertEqual(rgb, expected_rgb(self.grid, self.table, block_map(0), (cx, cy, cx, cy)))
        # At 4 bits sprite-indexed each cell carries its own block.
        self.convert(self.pcg, "-p", self.pal, "--split", "-s", "0,0:1,0", "--cells", "1,0:1,0=6", "-d", "4",
                     "--indexed", "sprite", "-o", self.path("c.bmp"))
        _, _, _, _, palette, values = read_picture(self.path("c-01-00.bmp"))
        self.assertEqual(palette[:16], self.table[96:112])
        self.assertEqual(values, bytes(self.grid[y][16 + x] for y in range(16) for x in range(16)))
        # Two inputs whose cells land on the same files: refused, nothing written.
        os.mkdir(self.path("sub"))
        self.write("sub/rand.pcg", self.pattern_bytes)
        result = run(self.pcg, self.path("sub/rand.pcg"), "--split", "-O", self.path("sub"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("rand-00-00.bmp", result.stderr)
        self.assertEqual(os.listdir(self.path("sub")), ["rand.pcg"])


def main():
    global BINARY, SAMPLES
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    BINARY, SAMPLES = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
