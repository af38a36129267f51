"""Every file of tests/data/bad/ through quillane: refused files name themselves and the kind
of their refusal and leave the old output alone; drawn files become their layer; nothing
crashes or is left behind. WebP, HEIF and JPEG XL files are read too."""
import os
import re
import shutil
import signal
import unittest

from PIL import Image

from cli_support import CliTestCase, run

CORPUS = os.path.join(os.environ.get("QUILLANE_TEST_DATA_DIR", ""), "bad")
STRINGS = os.path.join(os.environ.get("QUILLANE_SOURCE_DIR", ""), "resources", "strings",
                       "en.strings")
# The strings-table text that names each kind of refusal in the corpus index.
REFUSAL_KEYS = {"unreadable": "IMAGE_READ_ERROR", "cut short": "IMAGE_CUT_SHORT",
                "unsupported": "IMAGE_UNSUPPORTED", "too large": "IMAGE_TOO_LARGE",
                "out of memory": "IMAGE_OUT_OF_MEMORY", "document too large": "DOCUMENT_TOO_LARGE"}
IMAGES = os.path.join(os.environ.get("QUILLANE_TEST_DATA_DIR", ""), "images")
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "runtime error:")
OLD = b"old document"


def corpus_index():
    """(file, outcome) of each line of the corpus index table."""
    entries = []
    with open(os.path.join(CORPUS, "README.md")) as f:
        for line in f:
            cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
            if len(cells) == 3 and (cells[1] == "drawn" or cells[1] in REFUSAL_KEYS):
                entries.append((cells[0], cells[1]))
    return entries


def english_text(key):
    with open(STRINGS, encoding="utf-8") as f:
        for line in f:
            if line.startswith('"%s"' % key):
                return line.split('" = "', 1)[1].rsplit('";', 1)[0]
    raise KeyError(key)


class BadCorpusTest(CliTestCase):
    def setUp(self):
        super().setUp()
        self.entries = corpus_index()

    def fresh_folders(self, name):
        for folder in (self.src, self.out):
            for entry in os.listdir(folder):
                os.remove(os.path.join(folder, entry))
        shutil.copy(os.path.join(CORPUS, name), self.source(name))
        with open(self.output(), "wb") as f:
            f.write(OLD)

    def assertCleanRun(self, result):
        self.assertGreaterEqual(result.returncode, 0, "ended by signal %d" % -result.returncode)
        for mark in SANITIZER_MARKS:
            self.assertNotIn(mark, result.stderr)

    def assertRefused(self, result, name, kind=None):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(self.source(name), result.stderr)
        if kind:  # "quillane: NAME: PATH", the name without its full stop
            name_text = english_text(REFUSAL_KEYS[kind]).rstrip(".")
            self.assertIn("quillane: %s: %s" % (name_text, self.source(name)), result.stderr)
        if kind == "too large":  # then the declared size and the limit
            size = re.escape(english_text("IMAGE_SIZE_LIMIT")).replace("%1", r"\d+")
            size = size.replace("%2", r"\d+").replace("%3", "300000")
            self.assertRegex(result.stderr, re.escape(self.source(name)) + ": " + size)
        with open(self.output(), "rb") as f:
            self.assertEqual(f.read(), OLD)
        self.assertOutputFolder(["out.psd"])

    def test_index_lists_every_file(self):
        listed = sorted(name for name, _ in self.entries)
        present = sorted(n for n in os.listdir(CORPUS) if n != "README.md")
        self.assertEqual(listed, present)
        self.assertGreater(len(listed), 100)

    def test_each_file_alone(self):
        for name, outcome in self.entries:
            with self.subTest(name):
                self.fresh_folders(name)
                result = run("--modern-formats", self.src, self.output())
                self.assertCleanRun(result)
                if outcome != "drawn":
                    self.assertRefused(result, name, outcome)
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual([layer.name for layer in self.open_psd()], [name])
                self.assertOutputFolder(["out.psd"])

    def test_each_file_after_a_sound_first_file(self):
        for name, outcome in self.entries:
            with self.subTest(name):
                self.fresh_folders(name)
                self.save("0-first.png", Image.new("RGB", (16, 8), (9, 99, 199)))
                result = run("--modern-formats", self.src, self.output())
                self.assertCleanRun(result)
                # Refused for the reason it has alone, but a first file's; a later file is
                # decoded within the canvas, so a huge declaration is no longer its reason.
                if result.returncode == 1:
                    firsts = ("drawn", "document too large", "out of memory")
                    kind = outcome if outcome not in firsts else None
                    self.assertRefused(result, name, kind)
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual([layer.name for layer in self.open_psd()], ["0-first.png", name])
                self.assertOutputFolder(["out.psd"])

    def test_top_down_bmp_reads_like_the_bottom_up_one(self):
        shutil.copy(os.path.join(CORPUS, "bmp-negative-height-top-down.bmp"), self.src)
        shutil.copy(os.path.join(IMAGES, "bmp-rgb24.bmp"), self.src)
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        layers = {layer.name: layer.topil().convert("RGB") for layer in self.open_psd()}
        self.assertEqual(list(layers["bmp-rgb24.bmp"].getdata()),
                         list(layers["bmp-negative-height-top-down.bmp"].getdata()))


if __name__ == "__main__":
    unittest.main()
