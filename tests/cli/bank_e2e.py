"""End-to-end checks of nrbx-import with several pictures (a bank): the pictures back from the exported
bank through the manifest, shared cells, blocks kept over a rerun, the C header and the refusals.

    bank_e2e.py NRBX_IMPORT NRBX_EXPORT CC [TestCase ...]
"""
import json
import os
import random
import subprocess
import sys
import unittest

from PIL import Image

from scratch import ScratchTest

IMPORT = ""
EXPORT = ""
CC = ""

# name, columns, rows: different sizes, two files that make the same C name, one that starts with a digit.
SHAPES = [("hero.png", 4, 4), ("enemies.png", 8, 2), ("items.bmp", 2, 6), ("sub/hero.png", 6, 3),
          ("1up.png", 1, 1), ("fx.png", 3, 5), ("tiles.png", 16, 4), ("more.png", 5, 2)]


def hidden_blocks(rng):
    """16 blocks of 15 opaque colours on the palette's grid. Block 0 has black, which shares the word of
    transparency at index 0, and its last five colours are block 1's first five, so that cells of those
    alone would fit either block."""
    colours = rng.sample(range(1, 32768), 16 * 15 - 6)
    rgb = [(0, 0, 0)] + [((c >> 10) * 8, (c >> 5 & 31) * 8, (c & 31) * 8) for c in colours]
    blocks = [rgb[:15], rgb[10:25]] + [rgb[25 + 15 * b:40 + 15 * b] for b in range(13)]
    return blocks + [blocks[1][:5] + blocks[0][:5] + rgb[-5:]]


def make_cell(rng, blocks, opaque=False):
    """A cell's 256 RGBA pixels: some of one hidden block's colours and transparency, or nothing at all."""
    if not opaque and rng.random() < 0.1:
        return [(0, 0, 0, 0)] * 256
    block = rng.choice(blocks)
    some = rng.sample(block, rng.randrange(2, 16))
    return [(*rng.choice(some), 255) if opaque or rng.random() < 0.8 else (0, 0, 0, 0) for _ in range(256)]


def picture_of(cells, columns, rows):
    image = Image.new("RGBA", (columns * 16, rows * 16))
    image.putdata([cells[(y // 16) * columns + x // 16][(y % 16) * 16 + x % 16]
                   for y in range(rows * 16) for x in range(columns * 16)])
    return image


class Base(ScratchTest):
    scratch_prefix = "nrbx-bank-"

    def setUp(self):
        super().setUp()
        self.rng = random.Random(self.id())
        self.blocks = hidden_blocks(self.rng)
        os.mkdir(self.path("sub"))

    def run_tool(self, *args):
        return subprocess.run([*map(str, args)], capture_output=True, text=True, timeout=60, cwd=self.dir)

    def ok(self, *args):
        result = self.run_tool(*args)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        return result

    def make_set(self, shapes=SHAPES, repeat=0.0):
        """The pictures as cells; with repeat, that share of cells copies an earlier cell."""
        made = {}
        earlier = []
        for name, columns, rows in shapes:
            cells = []
            # BMP holds no alpha: its cells are opaque.
            opaque = name.endswith(".bmp")
            for _ in range(columns * rows):
                repeated = not opaque and earlier and self.rng.random() < repeat
                cell = self.rng.choice(earlier) if repeated else make_cell(self.rng, self.blocks, opaque)
                cells.append(cell)
                if not opaque:
                    earlier.append(cell)
            self.save(name, cells, columns, rows)
            made[name] = (cells, columns, rows)
        return made

    def save(self, name, cells, columns, rows):
        image = picture_of(cells, columns, rows)
        if name.endswith(".bmp"):
            image = image.convert("RGB")
        image.save(self.path(name))

    def bank(self, names, *options, prefix="bank"):
        self.ok(IMPORT, *names, "-o", prefix + ".pcg", "-P", prefix + ".pal", "--block-map", prefix + ".map",
                "--manifest", prefix + ".json", "--header", prefix + ".h", *options)
        with open(self.path(prefix + ".json"), encoding="utf-8") as f:
            return json.load(f)

    def assert_pictures_come_back(self, made, manifest, prefix="bank"):
        """Exported with its block map and cut by the manifest, the bank gives every picture back."""
        self.ok(EXPORT, prefix + ".pcg", "-p", prefix + ".pal", "--block-map", prefix + ".map", "--transparent",
                "-f", "png", "-o", prefix + ".png")
        with Image.open(self.path(prefix + ".png")) as im:
            sheet = im.convert("RGBA")
        block_map = self.read(prefix + ".map")
        palette = self.read(prefix + ".pal")
        self.assertEqual([p["file"] for p in manifest["pictures"]], list(made))
        for entry in manifest["pictures"]:
            cells, columns, rows = made[entry["file"]]
            self.assertEqual((entry["columns"], entry["rows"]), (columns, rows))
            self.assertEqual(len(entry["sprites"]), columns * rows)
            back = Image.new("RGBA", (columns * 16, rows * 16))
            for c, (sprite, block) in enumerate(zip(entry["sprites"], entry["blocks"])):
                if sprite is None:
                    continue
                self.assertEqual(block_map[sprite], block)
                cell = sheet.crop((sprite % 16 * 16, sprite // 16 * 16, sprite % 16 * 16 + 16, sprite // 16 * 16 + 16))
                back.paste(cell, (c % columns * 16, c // columns * 16))
            source = picture_of(cells, columns, rows)
            # Transparent pixels compare as transparent, whatever colour they carry.
            clear = lambda image: [p if p[3] else (0, 0, 0, 0) for p in image.getdata()]
            self.assertEqual(clear(back), clear(source), entry["file"])
        words = [palette[2 * k] << 8 | palette[2 * k + 1] for k in range(256)]
        self.assertEqual([w for block in manifest["blocks"] for w in block], words)


class Bank(Base):
    def test_pictures_come_back_from_one_bank_and_fewer_cells_with_dedupe(self):
        made = self.make_set(repeat=0.3)
        names = list(made)
        manifest = self.bank(names)
        self.assert_pictures_come_back(made, manifest)
        # Rectangles, row by row into the free cells: the first picture at the top left, the next beside it.
        self.assertEqual([p["at"] for p in manifest["pictures"]][:3], [[0, 0], [4, 0], [12, 0]])
        self.assertEqual(manifest["settings"]["mode"], "exact")
        cells = sum(c * r for _, c, r in SHAPES)
        self.assertEqual(len({s for p in manifest["pictures"] for s in p["sprites"]}), cells)

        deduped = self.bank(names, "--dedupe", prefix="dedupe")
        self.assert_pictures_come_back(made, deduped, prefix="dedupe")
        used = {s for p in deduped["pictures"] for s in p["sprites"]}
        self.assertLess(len(used), cells)
        self.assertEqual(used, set(range(len(used))))
        # Fully transparent cells left out: no sprite, and they come back transparent.
        skipped = self.bank(names, "--skip-empty", prefix="skip")
        self.assert_pictures_come_back(made, skipped, prefix="skip")
        self.assertIn(None, [s for p in skipped["pictures"] for s in p["sprites"]])
        # The same cells, stored once: no two sprites hold the same bytes in the same block.
        pattern, block_map = self.read("dedupe.pcg"), self.read("dedupe.map")
        stored = [(pattern[128 * s:128 * s + 128], block_map[s]) for s in sorted(used)]
        self.assertEqual(len(set(stored)), len(stored))

    def test_header_compiles_with_unique_names(self):
        self.make_set()
        self.bank([name for name, _, _ in SHAPES])
        header = self.read("bank.h").decode()
        for name in ("HERO_FIRST_SPRITE 0", "HERO_WIDTH 4", "HERO_2_HEIGHT 3", "PICTURE_1UP_FIRST_SPRITE",
                     "ENEMIES_FIRST_SPRITE 4", "#ifndef NRBX_BANK_H"):
            self.assertIn(name, header)
        self.write("use.c", b'#include "bank.h"\nint sprite(int i) { return HERO_SPRITES[i] + HERO_2_WIDTH; }\n')
        result = self.run_tool(CC, "-std=c99", "-Wall", "-Wextra", "-Werror", "-fsyntax-only", "use.c")
        self.assertEqual((result.returncode, result.stderr), (0, ""))

    def test_reduced_bank_gives_each_picture_its_psnr(self):
        gradient = Image.new("RGB", (32, 32))
        gradient.putdata([(x * 8, y * 8, (x + y) * 4) for y in range(32) for x in range(32)])
        gradient.save(self.path("sky.png"))
        made = self.make_set(SHAPES[:2])
        manifest = self.bank(["sky.png", *made], "--reduce")
        self.assertEqual(manifest["settings"]["mode"], "reduce")
        self.assertIsInstance(manifest["pictures"][0]["psnr"], float)
        self.assertEqual([p["at"] for p in manifest["pictures"]], [[0, 0], [2, 0], [6, 0]])


class Keep(Base):
    def test_editing_one_picture_changes_only_its_cells_and_the_blocks_not_kept(self):
        # Six hidden blocks, so that some are left for the new colours.
        self.blocks = self.blocks[:6]
        made = self.make_set(SHAPES[:4])
        names = list(made)
        first = self.bank(names)
        used = sorted({b for p in first["pictures"] for b in p["blocks"]})
        self.assertLess(len(used), 16)
        kept = "0-%d" % used[-1]
        # Keeping the blocks the pictures use gives the same files: the built palette is canonical.
        self.bank(names, "-p", "bank.pal", "--keep-blocks", kept, prefix="kept")
        for ext in ("pcg", "pal", "map"):
            self.assertEqual(self.read("kept." + ext), self.read("bank." + ext), ext)

        # One cell of enemies.png takes a colour no block has, another shows other colours of its block.
        cells, columns, rows = made["enemies.png"]
        cells = list(cells)
        cells[3] = [(8, 16, 24, 255) if i % 5 == 0 else p for i, p in enumerate(cells[3])]
        cells[6] = list(reversed(cells[6]))
        self.save("enemies.png", cells, columns, rows)
        made["enemies.png"] = (cells, columns, rows)
        # The same command again after the edit.
        second = self.bank(names, "-p", "bank.pal", "--keep-blocks", kept, prefix="again")
        self.assert_pictures_come_back(made, second, prefix="again")

        before, after = self.read("bank.pcg"), self.read("again.pcg")
        map_before, map_after = self.read("bank.map"), self.read("again.map")
        for entry in first["pictures"]:
            if entry["file"] == "enemies.png":
                continue
            for sprite in entry["sprites"]:
                self.assertEqual(after[128 * sprite:128 * sprite + 128], before[128 * sprite:128 * sprite + 128])
                self.assertEqual(map_after[sprite], map_before[sprite])
        kept_bytes = 32 * (used[-1] + 1)
        self.assertEqual(self.read("again.pal")[:kept_bytes], self.read("bank.pal")[:kept_bytes])
        enemies = [p for p in second["pictures"] if p["file"] == "enemies.png"][0]
        self.assertGreater(enemies["blocks"][3], used[-1])
        self.assertEqual(second["settings"]["keep_blocks"], list(range(used[-1] + 1)))

        # Reduced, the kept blocks stay word for word too, and the cells reduced anew still use them.
        reduced = self.bank(names, "-p", "bank.pal", "--keep-blocks", kept, "--reduce", prefix="reduced")
        self.assertEqual(self.read("reduced.pal")[:kept_bytes], self.read("bank.pal")[:kept_bytes])
        self.assertEqual(reduced["settings"]["keep_blocks"], list(range(used[-1] + 1)))
        self.assertTrue(any(b <= used[-1] for p in reduced["pictures"] for b in p["blocks"]))

        # With every block kept, the new colour has nowhere to go: the picture, cell and pixel are named.
        result = self.run_tool(IMPORT, *names, "-p", "bank.pal", "--keep-blocks", "0-15", "-o", "all.pcg")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("picture enemies.png, cell 3,0, pixel 48,0: colour #081018 is in no palette block",
                      result.stderr)
        self.assertFalse(os.path.exists(self.path("all.pcg")))


class Refusals(Base):
    def refuse(self, status, message, *args):
        result = self.run_tool(IMPORT, *args, "-o", "out.pcg", "--manifest", "out.json")
        self.assertEqual(result.returncode, status, result.stderr)
        self.assertIn(message, result.stderr)
        self.assertEqual([n for n in ("out.pcg", "out.json") if os.path.exists(self.path(n))], [])

    def test_pictures_that_do_not_fit_or_overlap_and_options_a_bank_refuses(self):
        self.make_set([("big.png", 16, 15), ("wide.png", 2, 2), ("one.png", 1, 1)])
        self.refuse(1, "picture wide.png of 2 x 2 cells does not fit: 16 cells are left, and no free place "
                    "holds it whole", "big.png", "wide.png")
        self.refuse(1, "picture one.png put at cell 1,1 overlaps picture wide.png", "wide.png@0,0",
                    "one.png@1,1")
        self.refuse(2, "a picture cannot be given a cell", "wide.png@0,0", "one.png", "--dedupe")
        self.refuse(2, "--keep-blocks needs -p", "wide.png", "one.png", "--keep-blocks", "0-3")
        self.refuse(2, "--error-map shows one picture", "wide.png", "one.png", "--reduce", "--error-map", "e.png")
        self.refuse(2, "invalid value '3-1' for --keep-blocks", "wide.png", "--keep-blocks", "3-1")
        self.refuse(2, "'--manifest' and '--header' would both be written to", "wide.png", "one.png",
                    "--header", "out.json")
        self.refuse(2, "would replace the picture 'one.png'", "wide.png", "one.png", "--header", "one.png")
        # One picture with none of the bank's options is imported as before: --at places it.
        self.ok(IMPORT, "one.png@2,1", "-o", "single.pcg", "--block-map", "single.map")
        self.assertEqual([n for n, b in enumerate(self.read("single.map")) if b], [])


def main():
    global IMPORT, EXPORT, CC
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    IMPORT, EXPORT, CC = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[4:]])


if __name__ == "__main__":
    main()
