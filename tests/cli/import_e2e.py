"""End-to-end checks of nrbx-import with nrbx-export: round trips to the byte, pictures made by Pillow,
palette interchange, and every refusal with its message, its exit status and nothing written.

    import_e2e.py NRBX_IMPORT NRBX_EXPORT [TestCase ...]
"""
import io
import os
import random
import struct
import subprocess
import sys
import unittest
import zlib

from PIL import GimpPaletteFile, Image

from scratch import ScratchTest

IMPORT = ""
EXPORT = ""


def words(palette_bytes):
    return [palette_bytes[2 * k] << 8 | palette_bytes[2 * k + 1] for k in range(256)]


def five_bit(rng):
    return tuple(rng.randrange(32) * 8 for _ in range(3))


def grid_colour(n):
    """Colour n of 256 distinct ones on the five-bit grid."""
    return (n % 32 * 8, n // 32 * 8 + 64, n * 7 % 32 * 8)


def cells_picture(columns, rows, colours_of_cell, mode="RGB"):
    """Each cell's pixels cycle through its own list of colours."""
    image = Image.new(mode, (columns * 16, rows * 16))
    data = []
    for y in range(rows * 16):
        for x in range(columns * 16):
            colours = colours_of_cell(x // 16 + y // 16 * columns)
            data.append(colours[(x % 16 + y % 16 * 5) % len(colours)])
    image.putdata(data)
    return image


def pixels(path):
    with Image.open(path) as im:
        return im.size, im.convert("RGB").tobytes()


class Base(ScratchTest):
    scratch_prefix = "nrbx-import-"

    def setUp(self):
        super().setUp()
        self.rng = random.Random(self.id())

    def run_tool(self, tool, *args):
        return subprocess.run([tool, *map(str, args)], capture_output=True, text=True, timeout=60)

    def ok(self, tool, *args, quiet=True):
        result = self.run_tool(tool, *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        if quiet:
            self.assertEqual(result.stderr, "")
        return result

    def random_files(self):
        pattern = bytes(self.rng.randrange(256) for _ in range(32768))
        palette = bytes(self.rng.randrange(256) for _ in range(512))
        return self.write("orig.pcg", pattern), self.write("orig.pal", palette)


class RoundTrip(Base):
    """pattern -> picture -> pattern, to the byte."""

    def test_sprite_indexed_8_bits_with_mixed_blocks(self):
        pcg, pal = self.random_files()
        cells = ["--cells", "0,0:7,15=3", "--cells", "4,4:11,9=12", "--cells", "15,15:15,15=15"]
        self.ok(EXPORT, pcg, "-p", pal, "-b", "6", *cells, "-d", "8", "--indexed", "sprite", "-f", "png",
                "-o", self.path("pic.png"))
        self.ok(IMPORT, self.path("pic.png"), "--indexed", "sprite", "-o", self.path("back.pcg"),
                "-P", self.path("back.pal"), "--block-map", self.path("back.map"))
        self.assertEqual(self.read("back.pcg"), self.read("orig.pcg"))
        self.assertEqual([w & ~1 for w in words(self.read("back.pal"))], [w & ~1 for w in words(self.read("orig.pal"))])
        block_map = self.read("back.map")
        self.assertEqual((block_map[0], block_map[5 * 16 + 5], block_map[15 * 16 + 12], block_map[255]), (3, 12, 6, 15))
        # The block map replaces -b and --cells: the same picture again.
        self.ok(EXPORT, self.path("back.pcg"), "-p", self.path("back.pal"), "-b", "5", "--block-map", self.path("back.map"),
                "-d", "8", "--indexed", "sprite", "-f", "png", "-o", self.path("again.png"))
        self.assertEqual(self.read("again.png"), self.read("pic.png"))
        # --cells come after the block map, which comes after -b.
        self.ok(EXPORT, self.path("back.pcg"), "-p", self.path("back.pal"), "-b", "1", "--block-map", self.path("back.map"),
                "--cells", "0,0:15,15=2", "-o", self.path("cells.png"))
        self.ok(EXPORT, self.path("back.pcg"), "-p", self.path("back.pal"), "-b", "2", "-o", self.path("plain.png"))
        self.assertEqual(self.read("cells.png"), self.read("plain.png"))

    def test_one_block_at_4_bits(self):
        pcg, pal = self.random_files()
        self.ok(EXPORT, pcg, "-p", pal, "-b", "9", "-d", "4", "--indexed", "sprite", "-o", self.path("pic.bmp"))
        self.ok(IMPORT, self.path("pic.bmp"), "--indexed", "sprite", "-b", "9", "-o", self.path("back.pcg"),
                "-P", self.path("back.pal"), "--block-map", self.path("back.map"))
        self.assertEqual(self.read("back.pcg"), self.read("orig.pcg"))
        self.assertEqual([w & ~1 for w in words(self.read("back.pal"))[144:160]],
                         [w & ~1 for w in words(self.read("orig.pal"))[144:160]])
        self.assertEqual(self.read("back.map"), bytes([9]) * 256)

    def test_saved_selection_put_back_at_its_cell_over_the_original(self):
        pcg, pal = self.random_files()
        for fmt in ("png", "bmp"):
            self.ok(EXPORT, pcg, "-p", pal, "-s", "9,11:3,4", "-d", "8", "--indexed", "sprite", "-f", fmt,
                    "-o", self.path("sel." + fmt))
            self.ok(IMPORT, self.path("sel." + fmt), "--indexed", "sprite", "--at", "3,4", "--base", pcg,
                    "-o", self.path("back-" + fmt + ".pcg"))
            self.assertEqual(self.read("back-" + fmt + ".pcg"), self.read("orig.pcg"))
        # Put elsewhere, it lands there and only there.
        self.ok(IMPORT, self.path("sel.png"), "--indexed", "sprite", "--at", "0,0", "-o", self.path("moved.pcg"))
        moved, orig = self.read("moved.pcg"), self.read("orig.pcg")
        self.assertEqual(moved[0:128], orig[(4 * 16 + 3) * 128:(4 * 16 + 4) * 128])
        self.assertEqual(moved[(15 * 16 + 15) * 128:], bytes(128))


class Pillow(Base):
    """Pictures that nrbx did not write."""

    @staticmethod
    def make_picture(mode, colours_for_cell):
        """Each cell's pixels drawn from its own list of colours (or indices, for mode P)."""
        image = Image.new(mode, (256, 256))
        data = []
        for y in range(256):
            for x in range(256):
                colours = colours_for_cell(x // 16, y // 16)
                data.append(colours[(x * 7 + y * 3 + (x * y) % 5) % len(colours)])
        image.putdata(data)
        return image

    def test_built_palette_gives_the_same_pixels_in_every_colour_type(self):
        # 40 colours on the five-bit grid; each cell takes 12 of them, overlapping with its neighbours.
        shared = [five_bit(self.rng) for _ in range(40)]
        indexed = self.make_picture("P", lambda cx, cy: list(range(40))[(cx + 2 * cy) % 28:(cx + 2 * cy) % 28 + 12])
        indexed.putpalette([c for colour in shared for c in colour])
        rgb = indexed.convert("RGB")
        variants = {"rgb.png": rgb, "rgba.png": rgb.convert("RGBA"), "p.png": indexed, "rgb.bmp": rgb}
        for name, picture in variants.items():
            with self.subTest(name):
                picture.save(self.path(name))
                self.ok(IMPORT, self.path(name), "-o", self.path(name + ".pcg"), "-P", self.path(name + ".pal"),
                        "--block-map", self.path(name + ".map"))
                self.ok(EXPORT, self.path(name + ".pcg"), "-p", self.path(name + ".pal"), "--block-map",
                        self.path(name + ".map"), "-o", self.path(name + ".out.png"))
                self.assertEqual(pixels(self.path(name + ".out.png")), ((256, 256), rgb.tobytes()))
                self.assertTrue(all(w & 1 == 0 for w in words(self.read(name + ".pal"))))
        # Grey at 16-bit depth, with fully transparent pixels: those become index 0 (black).
        levels = [(x // 2) * 8 if (x + y) % 7 else 248 for y in range(16) for x in range(32)]
        grey16, grey, alpha = Image.new("I;16", (32, 16)), Image.new("L", (32, 16)), Image.new("L", (32, 16))
        grey16.putdata([v * 257 for v in levels])
        grey.putdata(levels)
        alpha.putdata([0 if x == y else 255 for y in range(16) for x in range(32)])
        grey16.save(self.path("grey16.png"))
        Image.merge("LA", (grey, alpha)).save(self.path("la.png"))
        for name in ("grey16.png", "la.png"):
            self.ok(IMPORT, self.path(name), "-o", self.path(name + ".pcg"), "-P", self.path(name + ".pal"),
                    "--block-map", self.path(name + ".map"))
            self.ok(EXPORT, self.path(name + ".pcg"), "-p", self.path(name + ".pal"), "--block-map",
                    self.path(name + ".map"), "-s", "0,0:1,0", "-o", self.path(name + ".out.png"))
            expected = bytearray()
            for y in range(16):
                for x in range(32):
                    v = 248 if (x + y) % 7 == 0 else (x // 2) * 8
                    expected += bytes([0, 0, 0] if name == "la.png" and x == y else [v, v, v])
            self.assertEqual(pixels(self.path(name + ".out.png")), ((32, 16), bytes(expected)), name)

    def test_given_palette_matches_colours_and_is_written_unchanged(self):
        palette = bytearray(512)
        for k in range(256):
            w = self.rng.randrange(65536)
            palette[2 * k:2 * k + 2] = bytes([w >> 8, w & 255])
        # Block 4 repeats its colour 2 at index 9: the first index wins and -v says so.
        palette[4 * 32 + 18:4 * 32 + 20] = palette[4 * 32 + 4:4 * 32 + 6]
        self.write("own.pal", bytes(palette))
        table = [(((w >> 6) & 31) * 8 + 5, ((w >> 11) & 31) * 8 + 2, ((w >> 1) & 31) * 8, 255) for w in words(palette)]
        block_of = lambda cx, cy: (cx * 3 + cy) % 16
        image = self.make_picture("RGBA", lambda cx, cy: table[block_of(cx, cy) * 16:block_of(cx, cy) * 16 + 16])
        image.convert("RGB").save(self.path("own.png"))
        # The colours of a cell may stand in an earlier block too; the map keeps the picture's own.
        layout = bytes(block_of(n % 16, n // 16) for n in range(256))
        self.write("layout.map", layout)
        result = self.ok(IMPORT, self.path("own.png"), "-p", self.path("own.pal"), "--blocks", self.path("layout.map"),
                         "-o", self.path("own.pcg"), "-P", self.path("own-out.pal"), "--block-map", self.path("own.map"), "-v",
                         quiet=False)
        self.assertEqual(self.read("own-out.pal"), bytes(palette))
        self.assertEqual(self.read("own.map"), layout)
        self.ok(EXPORT, self.path("own.pcg"), "-p", self.path("own.pal"), "--block-map", self.path("own.map"),
                "-o", self.path("own-out.png"))
        expected = bytes(c - (c % 8) for px in image.convert("RGB").getdata() for c in px)
        self.assertEqual(pixels(self.path("own-out.png")), ((256, 256), expected))
        self.assertIn("nrbx-import: palette block 4 holds #", result.stderr)
        self.assertIn("more than once; index 2 is used", result.stderr)
        self.assertIn("256 x 256 pixels into cells 0,0:15,15", result.stderr)

    def test_palette_interchange_through_gimp_and_jasc(self):
        _, pal = self.random_files()
        self.ok(EXPORT, "-p", pal, "--palette-out", self.path("p.gpl"))
        self.ok(EXPORT, "-p", pal, "--palette-out", self.path("p.jasc"), "--palette-format", "jasc")
        with open(self.path("p.gpl"), "rb") as f:
            gimp, mode = GimpPaletteFile.GimpPaletteFile(f).getpalette()
        expected = [(((w >> 6) & 31) * 8, ((w >> 11) & 31) * 8, ((w >> 1) & 31) * 8) for w in words(self.read("orig.pal"))]
        self.assertEqual([tuple(gimp[i:i + 3]) for i in range(0, 768, 3)], expected)
        # Read back by -p, as GIMP or JASC palette, they give the same palette file.
        for name in ("p.gpl", "p.jasc"):
            self.ok(EXPORT, "-p", self.path(name), "--palette-out", self.path(name + ".bin"), "--palette-format", "bin")
            self.assertEqual([w & ~1 for w in words(self.read(name + ".bin"))], [w & ~1 for w in words(self.read("orig.pal"))])
        # Without -p: the built-in palette. An existing palette output needs --force.
        self.ok(EXPORT, "--palette-out", self.path("default.pal"))
        self.assertEqual(words(self.read("default.pal"))[:4], [0, 31 << 11 | 31 << 1, 31 << 11 | 31 << 6, 0xFFFE])
        result = self.run_tool(EXPORT, "-p", pal, "--palette-out", self.path("default.pal"))
        self.assertEqual((result.returncode, self.read("default.pal")[2:4]), (2, bytes([0xF8, 0x3E])))
        self.assertIn("exists; give --force", result.stderr)
        self.ok(EXPORT, "-p", pal, "--palette-out", self.path("default.pal"), "--force")
        self.assertEqual(self.read("default.pal"), self.read("orig.pal"))

    def test_packings_only_the_search_finds_and_the_proof_when_there_is_none(self):
        # Pairs of 16-colour blocks A, B given as halves and a middle bridging them: best-fit decreasing
        # puts A's first half with B's and needs 24 blocks where 16 do.
        sets = []
        for p in range(8):
            for start in (0, 16, 8, 24, 4, 20):
                sets.append([grid_colour(p * 32 + start + i) for i in range(8)])
        picture = cells_picture(16, 3, lambda c: sets[c])
        picture.save(self.path("trap.png"))
        result = self.ok(IMPORT, self.path("trap.png"), "-v", "-o", self.path("trap.pcg"), "-P", self.path("trap.pal"),
                         "--block-map", self.path("trap.map"), quiet=False)
        self.assertIn("the greedy packing needed more than 16 palette blocks; a search found 16", result.stderr)
        self.ok(EXPORT, self.path("trap.pcg"), "-p", self.path("trap.pal"), "--block-map", self.path("trap.map"),
                "-s", "0,0:15,2", "-o", self.path("trap.out.png"))
        self.assertEqual(pixels(self.path("trap.out.png")), ((256, 48), picture.tobytes()))
        # 17 cells of 16 colours, each sharing 8 with the others: the cells that cannot share are named.
        cells_picture(9, 2, lambda c: [grid_colour(c % 17 * 8 + i) for i in range(16)]).save(self.path("apart.png"))
        result = self.run_tool(IMPORT, self.path("apart.png"), "-o", self.path("apart.pcg"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("picture " + self.path("apart.png") + " needs more than 16 palette blocks of 16 colours: "
                      "no two of the 17 cells 0,0 1,0 2,0 3,0 4,0 5,0 6,0 7,0 8,0 0,1 1,1 2,1 3,1 4,1 5,1 6,1 7,1 fit "
                      "one block together", result.stderr)
        self.assertFalse(os.path.exists(self.path("apart.pcg")))

    def test_partly_transparent_pixels_need_a_threshold_and_come_back_transparent_below_it(self):
        # Four cells of 10 colours, no two in one block; cells 0,0 and 1,1 opaque, but their blocks too keep
        # index 0 for transparency. Cells 1,0 and 0,1 have every alpha from 0 to 255 once.
        image = cells_picture(2, 2, lambda c: [(*grid_colour(c * 10 + i), 255) for i in range(10)], "RGBA")
        alpha = [[255 if (x // 16 + y // 16) % 2 == 0 else (y % 16 * 16 + x % 16) for x in range(32)] for y in range(32)]
        for y in range(32):
            for x in range(32):
                image.putpixel((x, y), image.getpixel((x, y))[:3] + (alpha[y][x],))
        image.save(self.path("soft.png"))
        result = self.run_tool(IMPORT, self.path("soft.png"), "-o", self.path("soft.pcg"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("picture " + self.path("soft.png") + " has 508 partly transparent pixels (alpha 1..254), the "
                      "first in cell 1,0; give --alpha-threshold N", result.stderr)
        self.assertFalse(os.path.exists(self.path("soft.pcg")))
        for threshold in (1, 128, 255):
            with self.subTest(threshold=threshold):
                names = {k: self.path("soft-%d.%s" % (threshold, k)) for k in ("pcg", "pal", "map", "png")}
                self.ok(IMPORT, self.path("soft.png"), "--alpha-threshold", threshold, "-o", names["pcg"], "-P",
                        names["pal"], "--block-map", names["map"], "--at", "3,5")
                self.ok(EXPORT, names["pcg"], "-p", names["pal"], "--block-map", names["map"], "-s", "3,5:4,6",
                        "--transparent", "-f", "png", "-o", names["png"])
                with Image.open(names["png"]) as back:
                    back = back.convert("RGBA")
                    for y in range(32):
                        for x in range(32):
                            source, got = image.getpixel((x, y)), back.getpixel((x, y))
                            clear = alpha[y][x] < threshold
                            self.assertEqual(got[3], 0 if clear else 255, (x, y))
                            if not clear:
                                self.assertEqual(got[:3], source[:3], (x, y))


class Reduce(Base):
    """--reduce: any picture into blocks the pattern format holds; a picture that fits kept exactly."""

    def test_reduced_picture_exports_within_its_blocks_the_same_every_time(self):
        # Gradients with grain over 4 x 2 cells, a soft-edged hole of partial alpha in the middle.
        image = Image.new("RGBA", (64, 32))
        for y in range(32):
            for x in range(64):
                d = abs(x - 32) + abs(y - 16)
                alpha = 0 if d < 6 else 255 if d > 12 else d * 19
                grain = self.rng.randrange(20)
                image.putpixel((x, y), (min(255, x * 4 + grain), y * 8, max(0, 255 - x * 3 - grain), alpha))
        image.save(self.path("soft.png"))
        partly = sum(1 for y in range(32) for x in range(64) if 0 < image.getpixel((x, y))[3] < 255)
        outputs = {k: self.path("soft." + k) for k in ("pcg", "pal", "map", "png")}
        result = self.ok(IMPORT, self.path("soft.png"), "--reduce", "-o", outputs["pcg"], "-P", outputs["pal"],
                         "--block-map", outputs["map"], quiet=False)
        self.assertEqual(result.stderr, "nrbx-import: warning: picture %s: %d partly transparent pixels (alpha "
                         "1..254) taken as transparent below alpha 128 and as opaque from it\n"
                         % (self.path("soft.png"), partly))
        first = [self.read("soft." + k) for k in ("pcg", "pal", "map")]
        self.assertTrue(all(w & 1 == 0 for w in words(first[1])))
        self.ok(EXPORT, outputs["pcg"], "-p", outputs["pal"], "--block-map", outputs["map"], "-s", "0,0:3,1",
                "--transparent", "-f", "png", "-o", outputs["png"])
        with Image.open(outputs["png"]) as back:
            back = back.convert("RGBA")
            for cell in range(8):
                box = (cell % 4 * 16, cell // 4 * 16, cell % 4 * 16 + 16, cell // 4 * 16 + 16)
                self.assertLessEqual(len(set(back.crop(box).getdata())), 16, cell)
            for y in range(32):
                for x in range(64):
                    clear = image.getpixel((x, y))[3] < 128
                    self.assertEqual(back.getpixel((x, y))[3], 0 if clear else 255, (x, y))
        # The same bytes again (quietly with -q); dithering keeps every cell's block and the palette.
        self.ok(IMPORT, self.path("soft.png"), "--reduce", "-q", "-o", outputs["pcg"], "-P", outputs["pal"],
                "--block-map", outputs["map"], "--force")
        self.assertEqual([self.read("soft." + k) for k in ("pcg", "pal", "map")], first)
        for dither in ("ordered", "diffusion"):
            self.ok(IMPORT, self.path("soft.png"), "--reduce", "-q", "--dither", dither, "-o", outputs["pcg"], "-P",
                    outputs["pal"], "--block-map", outputs["map"], "--force")
            self.assertEqual([self.read("soft." + k) for k in ("pal", "map")], first[1:], dither)
        # Fewer blocks of fewer colours, when asked.
        self.ok(IMPORT, self.path("soft.png"), "--reduce", "-q", "--reduce-blocks", "2", "--reduce-colours", "4",
                "-P", outputs["pal"], "--block-map", outputs["map"], "--force")
        block_map, palette = self.read("soft.map"), words(self.read("soft.pal"))
        self.assertLessEqual(set(block_map), {0, 1})
        self.assertEqual(palette[4:16] + palette[20:], [0] * 248)

    def test_picture_that_fits_is_imported_as_without_reduce(self):
        # Cells whose colour sets only the packing search puts into 16 blocks (see Pillow above), and the
        # demo as nrbx-export writes it.
        sets = []
        for p in range(8):
            for start in (0, 16, 8, 24, 4, 20):
                sets.append([grid_colour(p * 32 + start + i) for i in range(8)])
        cells_picture(16, 3, lambda c: sets[c]).save(self.path("trap.png"))
        samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")
        self.ok(EXPORT, os.path.join(samples, "demo.pcg"), "-p", os.path.join(samples, "demo.pal"), "-f", "png",
                "-o", self.path("demo.png"))
        for name, extra in (("trap", ["--pack-time", "10"]), ("demo", [])):
            exact, reduced = ([self.path("%s-%s.%s" % (name, kind, k)) for k in ("pcg", "pal", "map")]
                              for kind in ("exact", "reduced"))
            self.ok(IMPORT, self.path(name + ".png"), *extra, "-o", exact[0], "-P", exact[1], "--block-map", exact[2])
            result = self.ok(IMPORT, self.path(name + ".png"), "--reduce", "-v", *extra, "-o", reduced[0], "-P",
                             reduced[1], "--block-map", reduced[2], quiet=False)
            self.assertIn("fits the palette as it is; every colour is kept", result.stderr)
            self.assertEqual([self.read(os.path.basename(p)) for p in reduced],
                             [self.read(os.path.basename(p)) for p in exact], name)


class Failures(Base):
    """Each refusal: message, exit status, nothing written."""

    def refuse(self, status, message, *args):
        for name in ("out.pcg", "out.pal", "out.map"):
            if os.path.exists(self.path(name)):
                os.remove(self.path(name))
        # The outputs first, so that the case's own options can name one of them otherwise.
        result = self.run_tool(IMPORT, "-o", self.path("out.pcg"), "-P", self.path("out.pal"),
                               "--block-map", self.path("out.map"), *args)
        self.assertEqual(result.returncode, status, result.stderr)
        self.assertIn(message, result.stderr)
        self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
        self.assertEqual([n for n in ("out.pcg", "out.pal", "out.map") if os.path.exists(self.path(n))], [])

    def save(self, name, image, fmt=None):
        image.save(self.path(name), fmt)
        return self.path(name)

    def test_pictures_that_cannot_be_converted(self):
        self.refuse(1, "is 24 x 16 pixels; both sides must be multiples of 16", self.save("a.png", Image.new("RGB", (24, 16))))
        self.refuse(1, "is 272 x 16 pixels; at most 256 x 256", self.save("b.png", Image.new("RGB", (272, 16))))
        crowded = Image.new("RGB", (32, 32))
        crowded.putdata([(x * 8, 0, 0) if x >= 16 and y >= 16 else (0, 0, 0) for y in range(32) for x in range(32)])
        crowded.putpixel((16, 17), (0, 248, 0))
        self.refuse(1, "cell 1,1 has 17 colours; a sprite has at most 16", self.save("c.png", crowded))
        many = Image.new("RGB", (256, 32))
        many.putdata([((x // 16 + 16 * (y // 16)) * 8, (x % 16) * 8, 0) for y in range(32) for x in range(256)])
        self.refuse(1, "d.png needs more than 16 palette blocks", self.save("d.png", many))
        self.write("pal.pal", bytes(512))
        self.refuse(1, "cell 0,0: colour #F80000 is not in the palette", self.save("e.png", Image.new("RGB", (16, 16), (248, 0, 0))),
                    "-p", self.path("pal.pal"))
        mixed = Image.new("P", (16, 16))
        mixed.putpalette([v for k in range(256) for v in (k, k, k)])
        mixed.putdata([17 if x == 3 else 1 for y in range(16) for x in range(16)])
        self.refuse(1, "cell 0,0 mixes palette blocks 0 and 1", self.save("f.png", mixed), "--indexed", "sprite")

    def test_corrupt_and_unsupported_files(self):
        good = io.BytesIO()
        Image.new("RGB", (16, 16), (8, 8, 8)).save(good, "PNG")
        png = good.getvalue()
        self.refuse(1, "is not a readable PNG", self.write("trunc.png", png[:len(png) - 20]))
        # A header claiming 100000 x 100000 over a tiny file: refused before any decoding.
        ihdr = struct.pack(">II5B", 100000, 100000, 8, 2, 0, 0, 0)
        huge = png[:8] + struct.pack(">I", 13) + b"IHDR" + ihdr + struct.pack(">I", zlib.crc32(b"IHDR" + ihdr)) + png[33:]
        self.refuse(1, "is 100000 x 100000 pixels; at most 256 x 256", self.write("huge.png", huge))
        self.refuse(1, "32-bit BMP is not supported", self.save("rgba.bmp", Image.new("RGBA", (16, 16))))
        buffer = io.BytesIO()
        Image.new("P", (16, 16)).save(buffer, "BMP")
        bmp = bytearray(buffer.getvalue())
        bmp[30] = 1
        self.refuse(1, "compressed (RLE) BMP is not supported", self.write("rle.bmp", bytes(bmp)))
        self.refuse(1, "is neither PNG nor BMP", self.write("x.gif", b"GIF89a" + bytes(40)))
        self.refuse(1, "palette " + self.path("bad.gpl") + ", line 2", self.save("ok.png", Image.new("RGB", (16, 16))),
                    "-p", self.write("bad.gpl", b"GIMP Palette\n1 2 x\n"))

    def test_a_failing_later_output_leaves_every_output_as_it_was(self):
        picture = self.save("p.png", Image.new("RGB", (16, 16), (8, 16, 24)))
        prefix = []
        if os.geteuid() == 0:
            # Root may write a read-only file: the tool runs as an ordinary user, who may not.
            if subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "test", "-x", IMPORT]).returncode:
                self.skipTest("an unprivileged user cannot reach " + IMPORT)
            prefix = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
            os.chown(self.dir, 65534, 65534)
        old = {name: self.write(name, b"kept " + name.encode()) for name in ("old.pcg", "old.pal", "old.map")}
        if prefix:
            for path in old.values():
                os.chown(path, 65534, 65534)
        os.chmod(old["old.map"], 0o444)
        cases = [
            ("-o", self.path("new.pcg"), "-P", self.path("nodir/x.pal")),
            ("-o", self.path("new.pcg"), "--block-map", self.path("new.map"), "-P", self.path("nodir/x.pal")),
            ("-o", old["old.pcg"], "-P", old["old.pal"], "--block-map", self.path("nodir/x.map"), "--force"),
            ("-o", old["old.pcg"], "-P", self.path("new.pal"), "--block-map", old["old.map"], "--force"),
        ]
        for case in cases:
            with self.subTest(case=case):
                result = subprocess.run([*prefix, IMPORT, picture, *case], capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(next(name for name in case if "nodir" in name or name == old["old.map"]), result.stderr)
                self.assertEqual(sorted(os.listdir(self.dir)), ["old.map", "old.pal", "old.pcg", "p.png"])
                for name, path in old.items():
                    self.assertEqual(self.read(name), b"kept " + name.encode())

    def test_usage_errors_and_existing_outputs(self):
        picture = self.save("p.png", Image.new("RGB", (16, 16)))
        self.refuse(2, "--nearest needs -p", picture, "--nearest")
        self.refuse(2, "--reduce-blocks, --reduce-colours, --dither, --error and --seed need --reduce", picture, "--dither",
                    "ordered")
        self.refuse(2, "--reduce builds the palette; it does not apply with -p", picture, "--reduce", "-p", picture)
        self.refuse(2, "--indexed sprite takes the palette from the picture", picture, "--indexed", "sprite", "-p", picture)
        self.refuse(2, "invalid value '16,0' for --at", picture, "--at", "16,0")
        self.refuse(2, "invalid value '256' for --alpha-threshold", picture, "--alpha-threshold", "256")
        self.refuse(2, "--alpha-threshold does not apply", picture, "--indexed", "sprite", "--alpha-threshold", "9")
        self.refuse(2, "--pack-time applies to a built palette only", picture, "--pack-time", "5", "-p", picture)
        self.refuse(2, "one picture at a time", picture, picture)
        self.refuse(2, "would replace the picture", picture, "--block-map", picture)
        self.refuse(2, "'--output' and '--palette-out' would both be written to", picture, "-P", self.path("out.pcg"))
        result = self.run_tool(IMPORT, picture)
        self.assertEqual((result.returncode, result.stderr),
                         (2, "nrbx-import: no output given (-o, -P or --block-map) (see nrbx-import --help)\n"))
        # The picture reaches past the last cell from --at: a picture that cannot go there.
        self.refuse(1, "reaches past cell 15", self.save("wide.png", Image.new("RGB", (48, 16))), "--at", "14,0")
        # An existing output is kept without --force, replaced with it.
        self.write("keep.pcg", b"precious")
        result = self.run_tool(IMPORT, picture, "-o", self.path("keep.pcg"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("output '" + self.path("keep.pcg") + "' exists; give --force", result.stderr)
        self.assertEqual(self.read("keep.pcg"), b"precious")
        self.ok(IMPORT, picture, "-o", self.path("keep.pcg"), "--force")
        self.assertEqual(self.read("keep.pcg"), bytes(32768))


def main():
    global IMPORT, EXPORT
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    IMPORT, EXPORT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
