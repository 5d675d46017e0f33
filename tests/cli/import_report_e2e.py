"""End-to-end checks of what nrbx-import --reduce tells of its result: the -v quality line and the
--error-map picture, read back with Pillow beside what nrbx-export shows of the outputs.

    import_report_e2e.py NRBX_IMPORT NRBX_EXPORT [TestCase ...]
"""
import math
import os
import random
import re
import subprocess
import sys
import unittest

from PIL import Image

from scratch import ScratchTest

IMPORT = ""
EXPORT = ""
QUALITY = re.compile(r" as reduced: PSNR (.*?), mean OKLab distance (\d+\.\d\d) \(x 100\), over its (\d+) opaque pixels\n")


def luminance(rgb):
    return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2]


class Report(ScratchTest):
    scratch_prefix = "nrbx-import-report-"

    def run_tool(self, tool, *args):
        return subprocess.run([tool, *map(str, args)], capture_output=True, text=True, timeout=60)

    def ok(self, tool, *args):
        result = self.run_tool(tool, *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def flat_with_one_noisy_cell(self):
        """4 x 2 cells in two flat grid colours, but cell 2,1 noise of every hue."""
        rng = random.Random(27)
        image = Image.new("RGB", (64, 32))
        for y in range(32):
            for x in range(64):
                if (x // 16, y // 16) == (2, 1):
                    image.putpixel((x, y), tuple(rng.randrange(256) for _ in range(3)))
                else:
                    image.putpixel((x, y), (64, 128, 200) if (x // 16 + y // 16) % 2 else (240, 232, 16))
        image.save(self.path("noisy.png"))
        return image

    def test_quality_line_and_error_map_show_the_result_and_where_it_falls_short(self):
        source = self.flat_with_one_noisy_cell()
        out = {k: self.path("noisy." + k) for k in ("pcg", "pal", "map")}
        result = self.ok(IMPORT, self.path("noisy.png"), "--reduce", "--reduce-blocks", "1", "--reduce-colours", "4",
                         "--at", "1,2", "-v", "-o", out["pcg"], "-P", out["pal"], "--block-map", out["map"],
                         "--error-map", self.path("error.png"))
        quality = QUALITY.search(result.stderr)
        self.assertIsNotNone(quality, result.stderr)
        self.assertTrue(result.stderr.endswith(quality.group(0)), "the last line under -v")
        self.assertEqual(quality.group(3), "2048")
        # The figures are of the result as nrbx-export shows it: the same PSNR from the exported picture.
        self.ok(EXPORT, out["pcg"], "-p", out["pal"], "--block-map", out["map"], "-s", "1,2:4,3", "-f", "png",
                "-o", self.path("shown.png"))
        with Image.open(self.path("shown.png")) as shown:
            shown = shown.convert("RGB")
        squared = sum((a - b) ** 2 for p, q in zip(source.getdata(), shown.getdata()) for a, b in zip(p, q))
        expected = 10 * math.log10(255 ** 2 / (squared / (3 * 2048)))
        self.assertRegex(quality.group(1), r"^\d+\.\d\d dB$")
        self.assertAlmostEqual(float(quality.group(1)[:-3]), expected, delta=0.006)
        self.assertTrue(0 < float(quality.group(2)) < 100, quality.group(2))

        with Image.open(self.path("error.png")) as error_map:
            self.assertEqual((error_map.format, error_map.size), ("PNG", (128, 32 + 8)))
            error_map = error_map.convert("RGB")
        self.assertEqual(error_map.crop((0, 0, 64, 32)).tobytes(), shown.tobytes())
        heat = {(cx, cy): error_map.getpixel((64 + cx * 16 + 5, cy * 16 + 9)) for cx in range(4) for cy in range(2)}
        for cell, colour in heat.items():
            box = (64 + cell[0] * 16, cell[1] * 16, 80 + cell[0] * 16, 16 + cell[1] * 16)
            self.assertEqual(error_map.crop(box).getcolors(), [(256, colour)], "one colour a cell")
        worst = max(heat, key=lambda cell: luminance(heat[cell]))
        self.assertEqual(worst, (2, 1))
        self.assertTrue(all(luminance(heat[cell]) < luminance(heat[worst]) - 40 for cell in heat if cell != worst), heat)
        # The legend's left end is the colour of no error; its ramp grows brighter to the right.
        legend = [error_map.getpixel((x, 34)) for x in range(128)]
        self.assertLess(luminance(legend[0]), 5)
        self.assertGreater(luminance(legend[-1]), 200)

        # A picture that fits as it is, on the grid: nothing differs, the map's right half is no error alone.
        Image.new("RGB", (32, 16), (64, 128, 200)).save(self.path("flat.png"))
        result = self.ok(IMPORT, self.path("flat.png"), "--reduce", "-v", "--error-map", self.path("flat-map.png"))
        self.assertIn(" as reduced: PSNR infinite (no opaque pixel differs), mean OKLab distance 0.00 (x 100), over its "
                      "512 opaque pixels\n", result.stderr)
        with Image.open(self.path("flat-map.png")) as flat_map:
            flat_map = flat_map.convert("RGB")
        self.assertEqual(flat_map.size, (64, 24))
        self.assertEqual(flat_map.crop((32, 0, 64, 16)).getcolors(), [(512, legend[0])])

    def test_error_map_needs_reduce_and_is_written_with_the_other_outputs_or_not_at_all(self):
        self.flat_with_one_noisy_cell()
        picture, error_map, pcg = self.path("noisy.png"), self.path("error.png"), self.path("out.pcg")

        def refused(status, message, *args, map_name=error_map):
            result = self.run_tool(IMPORT, picture, "-o", pcg, "--error-map", map_name, *args)
            self.assertEqual(result.returncode, status, result.stderr)
            self.assertIn(message, result.stderr)
            self.assertFalse(os.path.exists(pcg))

        refused(2, "--error-map needs --reduce")
        self.assertFalse(os.path.exists(error_map))
        refused(2, "'--output' and '--error-map' would both be written to", "--reduce", map_name=pcg)
        refused(2, "output '%s' would replace the picture" % picture, "--reduce", map_name=picture)
        # A map that cannot be written keeps the pattern from being written, and the other way round.
        refused(1, self.path("nodir/m.png"), "--reduce", map_name=self.path("nodir/m.png"))
        refused(1, self.path("nodir/x.pal"), "--reduce", "-P", self.path("nodir/x.pal"))
        self.assertFalse(os.path.exists(error_map))
        # An existing map is kept without --force, and replaced with it.
        self.write("error.png", b"precious")
        refused(2, "output '%s' exists; give --force" % error_map, "--reduce")
        self.assertEqual(self.read("error.png"), b"precious")
        self.ok(IMPORT, picture, "-o", pcg, "--error-map", error_map, "--reduce", "--force")
        with Image.open(error_map) as written:
            self.assertEqual(written.size, (128, 40))


def main():
    global IMPORT, EXPORT
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    IMPORT, EXPORT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
