"""Bad input gets a clear error, exit status 1, and loses nothing."""
import io
import os
import unittest

from PIL import Image

from cli_support import CliTestCase, png_header_only, run

READ_ERROR = "quillane: The image file cannot be read: "
WRITE_ERROR = "quillane: The document cannot be saved: "


def jpeg_bytes():
    buffer = io.BytesIO()
    Image.new("RGB", (64, 48), (30, 60, 90)).save(buffer, "JPEG", quality=90)
    return buffer.getvalue()


class BadSourceTest(CliTestCase):
    BAD_FILES = {
        "undecodable middle file": ("b.png", os.urandom(4096), READ_ERROR),
        "zero-byte png": ("b.png", b"", READ_ERROR),
        "truncated jpeg": ("b.jpg", jpeg_bytes()[:300], "quillane: The image file is incomplete: "),
        "text named jpg": ("b.jpg", b"This is not a picture.\n" * 10, READ_ERROR),
        "png declaring 100000 x 100000": ("b.png", png_header_only(100000, 100000),
                                          "quillane: The image is too large: "),
    }

    def test_each_bad_file_fails_naming_it_and_keeps_the_old_output(self):
        for case, (name, data, message) in self.BAD_FILES.items():
            with self.subTest(case):
                for entry in os.listdir(self.src):
                    os.remove(self.source(entry))
                self.save("a.png", Image.new("RGB", (8, 8), (9, 9, 9)))
                self.save("c.png", Image.new("RGB", (8, 8), (9, 9, 9)))
                bad = self.write(name, data)
                with open(self.output(), "wb") as f:
                    f.write(b"old document")
                result = run(self.src, self.output())
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message + bad, result.stderr)
                with open(self.output(), "rb") as f:
                    self.assertEqual(f.read(), b"old document")
                self.assertOutputFolder(["out.psd"])

    def test_bad_first_file_fails_the_same_way(self):
        bad = self.write("a.png", b"")
        self.save("b.png", Image.new("RGB", (8, 8), (9, 9, 9)))
        result = run("-q", self.src, self.output())
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, READ_ERROR + bad + "\n")
        self.assertOutputFolder([])

    def test_folder_without_images(self):
        self.write("notes.txt", b"x")
        for folder in (self.src, os.path.join(self.scratch, "missing")):
            result = run(folder, self.output())
            self.assertEqual(result.returncode, 1)
            self.assertEqual(result.stderr,
                             "quillane: There is no image file in the folder: " + folder + "\n")
        japanese = run(self.src, self.output(), env={**os.environ, "LANG": "ja_JP.UTF-8",
                                                     "LC_ALL": "", "LC_MESSAGES": ""})
        self.assertIn("フォルダに画像ファイルがありません", japanese.stderr)
        self.assertOutputFolder([])


class BadOutputTest(CliTestCase):
    def setUp(self):
        super().setUp()
        self.save("a.png", Image.new("RGB", (8, 8), (9, 9, 9)))

    def test_output_that_cannot_be_written(self):
        path = self.output("missing/out.psd")
        result = run(self.src, path)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(WRITE_ERROR + path + ": No such file or directory", result.stderr)
        self.assertOutputFolder([])

    def test_output_that_is_a_source_image(self):
        source = self.source("a.png")
        with open(source, "rb") as f:
            before = f.read()
        result = run(self.src, source)
        self.assertEqual(result.returncode, 1)
        self.assertIn(WRITE_ERROR + source + ": is one of the source images", result.stderr)
        with open(source, "rb") as f:
            self.assertEqual(f.read(), before)


if __name__ == "__main__":
    unittest.main()
