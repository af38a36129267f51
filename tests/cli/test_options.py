"""The job's options end to end, each read back with psd-tools: natural order, keying
tolerance, the first file's resolution, Multiply, the modern formats."""
import unittest

import numpy
from PIL import Image
from psd_tools.constants import BlendMode, Resource

from cli_support import CliTestCase, run


class OptionsTest(CliTestCase):
    def names(self):
        return [layer.name for layer in self.open_psd()]

    def test_natural_order(self):
        for name in ("frame10.png", "frame2.png", "frame1.png", "a01.png", "a1.png", "a-1.png"):
            self.save(name, Image.new("RGB", (4, 4)))
        self.assertEqual(run("-q", self.src, self.output()).returncode, 0)
        self.assertEqual(self.names(),
                         ["a-1.png", "a01.png", "a1.png", "frame1.png", "frame10.png", "frame2.png"])
        self.assertEqual(run("-q", "--natural-order", self.src, self.output()).returncode, 0)
        self.assertEqual(self.names(),
                         ["a-1.png", "a1.png", "a01.png", "frame1.png", "frame2.png", "frame10.png"])

    def test_tolerance_keys_near_white_and_is_refused_out_of_range(self):
        image = Image.new("RGB", (3, 1))
        image.putdata([(255, 255, 255), (245, 250, 255), (244, 255, 255)])
        self.save("a.png", image)
        self.assertEqual(run("-q", "--key", "white", "--tolerance", "10", self.src, self.output()).returncode, 0)
        alpha = numpy.asarray(next(iter(self.open_psd())).topil().convert("RGBA"))[0, :, 3]
        self.assertEqual(list(alpha), [0, 0, 255])
        for args in (["--key", "white", "--tolerance", "65"], ["--key", "white", "--tolerance", "x"],
                     ["--tolerance", "5"], ["--blend", "screen"]):
            result = run(*args, self.src, self.output())
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("--", result.stderr.splitlines()[0], args)

    def test_the_first_files_resolution(self):
        self.save("a.png", Image.new("RGB", (4, 4)), dpi=(300, 150))
        self.save("b.png", Image.new("RGB", (4, 4)), dpi=(600, 600))
        for args, expected in (([], (72, 72)), (["--keep-resolution"], (300, 150))):
            self.assertEqual(run("-q", *args, self.src, self.output()).returncode, 0)
            info = self.open_psd().image_resources.get_data(Resource.RESOLUTION_INFO)
            self.assertAlmostEqual(info.horizontal / 65536, expected[0], delta=0.05)  # PNG stores pixels per metre
            self.assertAlmostEqual(info.vertical / 65536, expected[1], delta=0.05)  # PNG stores pixels per metre

    def test_multiply_layers_and_their_merged_image(self):
        x, y = numpy.meshgrid(numpy.arange(32), numpy.arange(24))
        colour = numpy.stack([x * 8, y * 10, (x + y) * 4], -1).astype(numpy.uint8)
        self.save("a.png", Image.fromarray(colour, "RGB"))
        lines = numpy.full((24, 32, 4), 255, numpy.uint8)
        lines[::4, :, :3] = 40
        lines[:, ::5, 3] = 128
        self.save("b.png", Image.fromarray(lines, "RGBA"))
        self.assertEqual(run("-q", "--blend", "multiply", self.src, self.output()).returncode, 0)
        psd = self.open_psd()
        self.assertEqual([layer.blend_mode for layer in psd], [BlendMode.MULTIPLY] * 2)
        merged = numpy.asarray(psd.topil().convert("RGB")).astype(int)
        composed = numpy.asarray(psd.composite(force=True).convert("RGB")).astype(int)
        self.assertLessEqual(numpy.abs(merged - composed).max(), 2)

    def test_modern_formats_are_left_out_unless_asked_for(self):
        self.save("a.png", Image.new("RGB", (6, 4), (10, 20, 30)))
        self.save("b.webp", Image.new("RGB", (6, 4), (200, 100, 0)), lossless=True)
        self.save("c.webp", Image.new("RGB", (6, 4), (0, 0, 255)), format="PNG")
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.names(), ["a.png"])
        self.assertEqual(result.stderr.count("2 WebP files left out — turn on --modern-formats"),
                         1, result.stderr)
        self.assertNotIn("left out", run("-q", self.src, self.output()).stderr)
        self.assertEqual(run("-q", "--modern-formats", self.src, self.output()).returncode, 0)
        layers = {layer.name: layer.topil().convert("RGB").getpixel((5, 3)) for layer in self.open_psd()}
        self.assertEqual(layers, {"a.png": (10, 20, 30), "b.webp": (200, 100, 0),
                                  "c.webp": (0, 0, 255)})


if __name__ == "__main__":
    unittest.main()
