"""nrbx-import --reduce's report, read back with Pillow beside what nrbx-export shows of the outputs: the -v
quality line and the --error-map picture, an output like the others.

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
QUALITY = re.compile(r" as reduced: PSNR (\d+\.\d\d) dB, mean OKLab distance (\d+\.\d\d) \(x 100\), over its 2048 "
                     r"opaque pixels\n$")


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

    def setUp(self):
        super().setUp()
        # 4 x 2 cells in two flat grid colours, but cell 2,1 noise of every hue.
        rng = random.Random(27)
        self.source = Image.new("RGB", (64, 32))
        self.source.putdata([tuple(rng.randrange(256) for _ in range(3)) if (x // 16, y // 16) == (2, 1)
                             else (64, 128, 200) if (x // 16 + y // 16) % 2 else (240, 232, 16)
                             for y in range(32) for x in range(64)])
        self.source.save(self.path("noisy.png"))

    def test_quality_line_and_error_map_show_the_result_and_where_it_falls_short(self):
        out = [self.path("noisy." + k) for k in ("pcg", "pal", "map")]
        result = self.ok(IMPORT, self.path("noisy.png"), "--reduce", "--reduce-blocks", "1", "--reduce-colours", "4",
                         "--at", "1,2", "-v", "-o", out[0], "-P", out[1], "--block-map", out[2],
                         "--error-map", self.path("error.png"))
        quality = QUALITY.search(result.stderr)
        self.assertIsNotNone(quality, result.stderr)
        # Measured on the result as nrbx-export shows it: the same PSNR from the exported picture.
        self.ok(EXPORT, out[0], "-p", out[1], "--block-map", out[2], "-s", "1,2:4,3", "-f", "png",
                "-o", self.path("shown.png"))
        with Image.open(self.path("shown.png")) as shown:
            shown = shown.convert("RGB")
        squared = sum((a - b) ** 2 for p, q in zip(self.source.getdata(), shown.getdata()) for a, b in zip(p, q))
        self.assertAlmostEqual(float(quality.group(1)), 10 * math.log10(255 ** 2 * 3 * 2048 / squared), delta=0.006)
        self.assertTrue(0 < float(quality.group(2)) < 100, quality.group(2))

        with Image.open(self.path("error.png")) as error_map:
            self.assertEqual((error_map.format, error_map.size), ("PNG", (128, 32 + 8)))
            error_map = error_map.convert("RGB")
        self.assertEqual(error_map.crop((0, 0, 64, 32)).tobytes(), shown.tobytes())
        heat = {}
        for cell in ((cx, cy) for cx in range(4) for cy in range(2)):
            colours = error_map.crop((64 + cell[0] * 16, cell[1] * 16, 80 + cell[0] * 16, 16 + cell[1] * 16)).getcolors()
            self.assertEqual(len(colours), 1, "one colour a cell")
            heat[cell] = colours[0][1]
        brightest = sorted(heat, key=lambda cell: luminance(heat[cell]))
        self.assertEqual(brightest[-1], (2, 1))
        self.assertGreater(luminance(heat[(2, 1)]) - luminance(heat[brightest[-2]]), 40, heat)

        # A picture on the grid that fits: nothing differs, and the map (the only output) shows no error.
        Image.new("RGB", (32, 16), (64, 128, 200)).save(self.path("flat.png"))
        result = self.ok(IMPORT, self.path("flat.png"), "--reduce", "-v", "--error-map", self.path("flat-map.png"))
        self.assertIn(" as reduced: PSNR infinite (no opaque pixel differs), mean OKLab distance 0.00 (x 100), over "
                      "its 512 opaque pixels\n", result.stderr)
        with Image.open(self.path("flat-map.png")) as flat_map:
            flat_map = flat_map.convert("RGB")
        self.assertEqual(flat_map.crop((32, 0, 64, 16)).getcolors(), [(512, flat_map.getpixel((0, 18)))])

    def test_error_map_needs_reduce_and_is_written_with_the_other_outputs_or_not_at_all(self):
        picture, error_map, pcg = self.path("noisy.png"), self.path("error.png"), self.path("out.pcg")

        def refused(status, message, map_name, *args):
            result = self.run_tool(IMPORT, picture, "-o", pcg, "--error-map", map_name, *args)
            self.assertEqual(result.returncode, status, result.stderr)
            self.assertIn(message, result.stderr)
            self.assertEqual(sorted(os.listdir(self.dir)), sorted(["noisy.png"] + existing))

        existing = []
        refused(2, "--error-map needs --reduce", error_map)
        refused(2, "'--output' and '--error-map' would both be written to", pcg, "--reduce")
        refused(1, self.path("nodir/m.png"), self.path("nodir/m.png"), "--reduce")
        refused(1, self.path("nodir/x.pal"), error_map, "--reduce", "-P", self.path("nodir/x.pal"))
        # An existing map is kept without --force, and replaced with it.
        self.write("error.png", b"precious")
        existing = ["error.png"]
        refused(2, "output '%s' exists; give --force" % error_map, error_map, "--reduce")
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
