"""Every file of tests/data/bad/ through quillane: refused files name themselves and leave
the old output alone; drawn files become their layer; nothing crashes or is left behind."""
import os
import shutil
import signal
import unittest

from PIL import Image

from cli_support import CliTestCase, run

CORPUS = os.path.join(os.environ.get("QUILLANE_TEST_DATA_DIR", ""), "bad")
IMAGES = os.path.join(os.environ.get("QUILLANE_TEST_DATA_DIR", ""), "images")
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "runtime error:")
OLD = b"old document"


def corpus_index():
    """(file, outcome) of each line of the corpus index table."""
    entries = []
    with open(os.path.join(CORPUS, "README.md")) as f:
        for line in f:
            cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
            if len(cells) == 3 and cells[1] in ("refused", "drawn"):
                entries.append((cells[0], cells[1]))
    return entries


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

    def assertRefused(self, result, name):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(self.source(name), result.stderr)
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
                result = run(self.src, self.output())
                self.assertCleanRun(result)
                if outcome == "refused":
                    self.assertRefused(result, name)
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual([layer.name for layer in self.open_psd()], [name])
                self.assertOutputFolder(["out.psd"])

    def test_each_file_after_a_sound_first_file(self):
        for name, _ in self.entries:
            with self.subTest(name):
                self.fresh_folders(name)
                self.save("0-first.png", Image.new("RGB", (16, 8), (9, 99, 199)))
                result = run(self.src, self.output())
                self.assertCleanRun(result)
                if result.returncode == 1:
                    self.assertRefused(result, name)
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
