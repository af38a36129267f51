"""End to end: what `quillane` writes and says, the document checked with psd-tools."""
import os
import shutil
import subprocess
import sys
import unittest

import numpy
from PIL import Image, ImageOps

from cli_support import CliTestCase, run

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
import psdcheck  # noqa: E402


class OutputTest(CliTestCase):
    def make_three(self):
        # a.png: white with a half-transparent red square; b.jpg larger; c.gif smaller.
        a = Image.new("RGBA", (40, 30), (255, 255, 255, 255))
        a.paste((200, 20, 20, 128), (10, 10, 20, 20))
        self.save("a.png", a)
        self.save("b.jpg", Image.new("RGB", (60, 50), (0, 0, 255)), quality=95)
        self.save("c.gif", Image.new("RGB", (10, 10), (0, 255, 0)))

    def assertDocumentOf(self, key):
        names, sources = psdcheck.expected_from_folder(self.src, key)
        self.assertEqual(psdcheck.check(self.output(), (40, 30), names, sources), [], key)

    def test_layers_keys_and_progress(self):
        self.make_three()
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertDocumentOf("none")
        self.assertEqual(result.stderr.splitlines()[:3], ["[1/3] a.png", "[2/3] b.jpg", "[3/3] c.gif"])
        self.assertIn("wrote " + self.output() + " (3 layers)", result.stderr)
        for key in ("white", "black"):
            self.assertEqual(run("-q", "--key", key, self.src, self.output()).returncode, 0)
            self.assertDocumentOf(key)
        self.assertOutputFolder(["out.psd"])

        quiet = run("-q", self.src, self.output())
        self.assertEqual((quiet.returncode, quiet.stderr, quiet.stdout), (0, "", ""))
        verbose = run("--verbose", self.src, self.output())
        self.assertEqual(verbose.returncode, 0)
        self.assertIn("processing: " + self.source("b.jpg"), verbose.stderr)

    def test_orient_turns_photos_and_the_canvas_upright(self):
        images = os.path.join(os.environ["QUILLANE_TEST_DATA_DIR"], "images")
        names = ["orient-5.jpg", "orient-6.jpg", "orient-7.jpg", "orient-8.jpg"]
        for name in names:
            shutil.copy(os.path.join(images, name), self.src)
        self.assertEqual(run("-q", self.src, self.output()).returncode, 0)
        self.assertEqual((self.open_psd().width, self.open_psd().height), (11, 13))  # as stored
        self.assertEqual(run("-q", "--orient", self.src, self.output()).returncode, 0)
        upright = []  # Pillow's reading, turned by Pillow
        for name in sorted(names):
            with Image.open(self.source(name)) as image:
                upright.append(numpy.array(ImageOps.exif_transpose(image).convert("RGBA")))
        self.assertEqual(psdcheck.check(self.output(), (13, 11), sorted(names), upright), [])

    def test_awkward_names_become_layer_names(self):
        for name in (b"a-caf\xe9.png", "b-%s%n%x.png", "c-new\nline.png", "d-ünïcödé.png"):
            path = os.path.join(os.fsencode(self.src), os.fsencode(name))
            Image.new("RGB", (6, 4), (10, 20, 30)).save(path, "PNG")
        # Bytes: the progress lines repeat the names, bytes that are not text escaped.
        result = subprocess.run([os.environ["QUILLANE_BIN"], self.src, self.output()],
                                capture_output=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"[1/4] a-caf\\xe9.png\n[2/4] b-%s%n%x.png\n[3/4] c-new\\x0aline.png\n"
                      + "[4/4] d-ünïcödé.png".encode(), result.stderr)
        self.assertEqual([layer.name for layer in self.open_psd()],
                         ["a-caf\ufffd.png", "b-%s%n%x.png", "c-new\nline.png", "d-ünïcödé.png"])

    def test_folder_beginning_with_a_dash(self):
        dashed = os.path.join(self.scratch, "-v")
        os.mkdir(dashed)
        Image.new("RGB", (6, 4), (1, 2, 3)).save(os.path.join(dashed, "a.png"))
        result = run("--", "-v", "out/out.psd", cwd=self.scratch)
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
                     ["-q", "-v", self.src, self.output()], ["--bogus", self.src, self.output()],
                     [self.src, self.output("x.png")]):
            result = run(*args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("Usage: quillane [--key none|white|black]", result.stderr, args)
        japanese = {**os.environ, "LANG": "ja_JP.UTF-8", "LC_ALL": "", "LC_MESSAGES": ""}
        self.assertIn("このヘルプを表示", run("--help", env=japanese).stdout)
        self.assertIn("使い方: quillane", run(self.src, "x.png", env=japanese).stderr)
        self.assertOutputFolder([])


if __name__ == "__main__":
    unittest.main()
