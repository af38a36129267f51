"""End to end: what `quillane` writes, read back with psd-tools."""
import os
import shutil
import unittest

from PIL import Image

from cli_support import CliTestCase, run


def near(a, b, tolerance=2):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class OutputTest(CliTestCase):
    def make_three(self):
        # a.png: white with a half-transparent red square; b.jpg larger; c.gif smaller.
        a = Image.new("RGBA", (40, 30), (255, 255, 255, 255))
        a.paste((200, 20, 20, 128), (10, 10, 20, 20))
        self.save("a.png", a)
        self.save("b.jpg", Image.new("RGB", (60, 50), (0, 0, 255)), quality=95)
        self.save("c.gif", Image.new("RGB", (10, 10), (0, 255, 0)))

    def test_layers_in_file_order_on_the_first_files_canvas(self):
        self.make_three()
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        psd = self.open_psd()
        self.assertEqual(psd.size, (40, 30))
        self.assertEqual([layer.name for layer in psd], ["a.png", "b.jpg", "c.gif"])
        bottom = psd[0].topil().convert("RGBA")
        self.assertEqual(bottom.size, (40, 30))
        # Straight colour in the layer: the half-transparent red is not darkened.
        self.assertTrue(near(bottom.getpixel((15, 15)), (200, 20, 20, 128)),
                        bottom.getpixel((15, 15)))
        self.assertEqual(bottom.getpixel((0, 0)), (255, 255, 255, 255))
        self.assertTrue(near(psd[1].topil().convert("RGBA").getpixel((39, 29)), (0, 0, 255, 255)))
        self.assertIn("wrote " + self.output() + " (3 layers)", result.stderr)

    def test_key_white_and_black(self):
        image = Image.new("RGB", (4, 2), (255, 255, 255))
        image.putpixel((1, 0), (254, 255, 255))
        image.putpixel((2, 0), (0, 0, 0))
        image.putpixel((3, 0), (0, 0, 1))
        self.save("a.png", image)
        expected = {
            "none": [255, 255, 255, 255],
            "white": [0, 255, 255, 255],
            "black": [255, 255, 0, 255],
        }
        for key, alphas in expected.items():
            result = run("--key", key, self.src, self.output())
            self.assertEqual(result.returncode, 0, result.stderr)
            layer = self.open_psd()[0].topil().convert("RGBA")
            self.assertEqual([layer.getpixel((x, 0))[3] for x in range(4)], alphas, key)
            self.assertEqual(layer.getpixel((1, 0))[:3], (254, 255, 255), key)

    def test_progress_lines_quiet_and_verbose(self):
        self.make_three()
        plain = run(self.src, self.output())
        self.assertEqual(plain.returncode, 0)
        lines = plain.stderr.splitlines()
        self.assertEqual(lines[:3], ["[1/3] a.png", "[2/3] b.jpg", "[3/3] c.gif"])

        quiet = run("-q", self.src, self.output())
        self.assertEqual((quiet.returncode, quiet.stderr, quiet.stdout), (0, "", ""))

        verbose = run("--verbose", self.src, self.output())
        self.assertEqual(verbose.returncode, 0)
        self.assertIn("processing: " + self.source("b.jpg"), verbose.stderr)
        self.assertIn("a.png: W: 40, H: 30", verbose.stderr)
        self.assertIn("===== DONE =====", verbose.stderr)

    def test_existing_output_is_replaced_and_nothing_else_is_left(self):
        self.make_three()
        with open(self.output(), "wb") as f:
            f.write(b"old")
        self.assertEqual(run("-q", self.src, self.output()).returncode, 0)
        self.assertEqual(len(self.open_psd()), 3)
        self.assertOutputFolder(["out.psd"])

    def test_source_folder_that_begins_with_a_dash(self):
        dashed = os.path.join(self.scratch, "-src")
        self.save("a.png", Image.new("RGB", (5, 5), (1, 2, 3)))
        shutil.move(self.src, dashed)
        result = run("-q", "--", "-src", self.output(), cwd=self.scratch)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual([layer.name for layer in self.open_psd()], ["a.png"])

    def test_help_version_and_usage(self):
        help_ = run("--help")
        self.assertEqual(help_.returncode, 0)
        self.assertIn("SOURCE_FOLDER", help_.stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertTrue(version.stdout.startswith("quillane "))
        for args in ([], [self.src], ["--key", "red", self.src, self.output()],
                     ["-q", "-v", self.src, self.output()], ["--bogus", self.src, self.output()]):
            result = run(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("Usage: quillane [--key none|white|black]", result.stderr, args)
        self.assertOutputFolder([])


if __name__ == "__main__":
    unittest.main()
