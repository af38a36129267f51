"""End to end: PICT pictures (.pict, .pct, .pic) among PNGs, read back with psd-tools."""
import os
import shutil
import unittest

from PIL import Image

from cli_support import BIN, CliTestCase, run

DATA = os.path.join(os.environ.get("QUILLANE_TEST_DATA_DIR",
                                   os.path.join(os.path.dirname(__file__), "..", "data")),
                    "pict")
READ_ERROR = "quillane: The image file cannot be read: "


def layer_on_canvas(layer, size):
    """The layer's pixels placed on a transparent canvas of the document's size."""
    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    pixels = layer.topil()
    if pixels is not None:
        canvas.paste(pixels.convert("RGBA"), (layer.left, layer.top))
    return canvas


@unittest.skipUnless(BIN and os.path.exists(BIN), "QUILLANE_BIN is not a built quillane")
class PictTest(CliTestCase):
    def add_fixture(self, fixture, name):
        shutil.copyfile(os.path.join(DATA, fixture), self.source(name))

    def expected(self, fixture):
        """The writing tool's own PPM of the picture."""
        return Image.open(os.path.join(DATA, fixture)).convert("RGB")

    def assertLayerHolds(self, layer, size, picture):
        canvas = layer_on_canvas(layer, size)
        mismatches = 0
        for y in range(size[1]):
            for x in range(size[0]):
                got = canvas.getpixel((x, y))
                inside = x < picture.width and y < picture.height
                want = picture.getpixel((x, y)) + (255,) if inside else None
                if (inside and got != want) or (not inside and got[3] != 0):
                    mismatches += 1
        self.assertEqual(mismatches, 0, layer.name)

    def test_mixed_folder_holds_each_pictures_pixels(self):
        Image.new("RGB", (280, 20), (250, 250, 250)).save(self.source("a.png"))
        self.add_fixture("im-indexed.pict", "b.pict")      # ImageMagick, 8-bit indexed
        self.add_fixture("im-direct.pict", "c.pct")        # ImageMagick, 32-bit direct
        self.add_fixture("netpbm-wide.pict", "d.pic")      # netpbm, version -1 header
        Image.new("RGB", (5, 5), (1, 2, 3)).save(self.source("e.png"))
        self.write("f.PICT", b"not listed: upper-case extension")

        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        psd = self.open_psd()
        self.assertEqual(psd.size, (280, 20))
        self.assertEqual([layer.name for layer in psd], ["a.png", "b.pict", "c.pct", "d.pic",
                                                         "e.png"])
        for layer, ppm in zip(list(psd)[1:4], ["im-indexed.ppm", "im-direct.ppm",
                                               "netpbm-wide.ppm"]):
            with self.subTest(layer.name):
                self.assertLayerHolds(layer, psd.size, self.expected(ppm))

    def test_first_pict_sets_the_canvas(self):
        # An extended header measures by its source rectangle, a version -1 header by its
        # frame: both give the picture's own size.
        for fixture, size in (("im-direct.pict", (24, 16)), ("netpbm-indexed.pict", (16, 12))):
            with self.subTest(fixture):
                for entry in os.listdir(self.src):
                    os.remove(self.source(entry))
                self.add_fixture(fixture, "a.pict")
                Image.new("RGB", (8, 8), (9, 9, 9)).save(self.source("b.png"))
                result = run(self.src, self.output())
                self.assertEqual(result.returncode, 0, result.stderr)
                psd = self.open_psd()
                self.assertEqual(psd.size, size)
                ppm = fixture.replace(".pict", ".ppm")
                self.assertLayerHolds(psd[0], psd.size, self.expected(ppm))

    def test_keying_white_reaches_pict_layers(self):
        # The sample flowers, drawn on white by ImageMagick's PICT writer.
        sample = os.path.join(os.environ.get("QUILLANE_SOURCE_DIR",
                                             os.path.join(os.path.dirname(__file__), "..", "..")),
                              "samples", "07-flowers.pict")
        Image.new("RGB", (320, 240), (0, 0, 0)).save(self.source("a.png"))
        shutil.copyfile(sample, self.source("b.pict"))
        result = run("--key", "white", self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        layer = layer_on_canvas(self.open_psd()[1], (320, 240))
        self.assertEqual(layer.getpixel((0, 0))[3], 0)          # white background, keyed out
        self.assertEqual(layer.getpixel((300, 230))[3], 0)
        self.assertEqual(layer.getpixel((40, 186)), (120, 70, 20, 255))   # a flower's heart
        self.assertEqual(layer.getpixel((70, 176)), (250, 200, 40, 255))  # yellow petals

    def test_pict_that_cannot_be_decoded_is_a_read_error(self):
        Image.new("RGB", (8, 8), (9, 9, 9)).save(self.source("a.png"))
        bad = self.write("b.pct", b"\0" * 512 + b"\xAB" * 600)  # no picture version
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 1)
        self.assertIn(READ_ERROR + bad + "\n", result.stderr)
        self.assertOutputFolder([])


if __name__ == "__main__":
    unittest.main()
