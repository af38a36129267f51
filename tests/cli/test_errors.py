"""Bad input gets a clear error, exit status 1, and loses nothing."""
import os
import resource
import unittest

from PIL import Image

from cli_support import BIN, CliTestCase, png_header_only, run

READ_ERROR = "quillane: The image file cannot be read: "
WRITE_ERROR = "quillane: The document cannot be saved: "


class BadSourceTest(CliTestCase):
    def test_bad_first_file_fails_the_same_way(self):
        bad = self.write("a.png", b"")
        self.save("b.png", Image.new("RGB", (8, 8), (9, 9, 9)))
        result = run("-q", self.src, self.output())
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, READ_ERROR + bad + "\n")
        self.assertOutputFolder([])

    def test_document_wider_than_a_psd_holds_needs_a_psb_name(self):
        self.save("a.png", Image.new("RGBA", (30001, 2), (9, 99, 199, 128)))
        with open(self.output(), "wb") as f:
            f.write(b"old document")
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 1)
        self.assertIn("quillane: The document is too large for a PSD file: " + self.source("a.png")
                      + ": 30001 × 2 pixels; a PSD file holds at most 30000 pixels a side. "
                      "Save it with a name ending in .psb", result.stderr)
        with open(self.output(), "rb") as f:
            self.assertEqual(f.read(), b"old document")
        result = run("-q", self.src, self.output("out.psb"))
        self.assertEqual(result.returncode, 0, result.stderr)
        psb = self.open_psd(self.output("out.psb"))
        self.assertEqual((psb.version, psb.size), (2, (30001, 2)))
        self.assertEqual(psb[0].topil().getpixel((30000, 1)), (9, 99, 199, 128))

    def test_folder_without_images_or_that_cannot_be_listed(self):
        self.write("notes.txt", b"x")
        missing = os.path.join(self.scratch, "missing")
        loop = os.path.join(self.scratch, "loop")
        os.symlink("loop", loop)
        cases = [("There is no image file in the folder: " + self.src, self.src),
                 ("The folder does not exist: " + missing, missing),
                 ("The folder cannot be read: " + loop + ": Too many levels of symbolic links",
                  loop)]
        for message, folder in cases:
            result = run(folder, self.output())
            self.assertEqual(result.returncode, 1)
            self.assertEqual(result.stderr, "quillane: " + message + "\n")
        japanese = run(missing, self.output(), env={**os.environ, "LANG": "ja_JP.UTF-8",
                                                    "LC_ALL": "", "LC_MESSAGES": ""})
        self.assertIn("フォルダが存在しません", japanese.stderr)
        self.assertOutputFolder([])

    def test_error_names_its_file_with_control_characters_escaped(self):
        self.write("b\x1b[2J\a\x9b.png", b"")
        result = run("-q", self.src, self.output())
        self.assertEqual(result.stderr, READ_ERROR + self.src + "/b\\x1b[2J\\x07\\xc2\\x9b.png\n")

    def test_the_memory_budget_follows_the_address_space_limit(self):
        # A sixth of the 1.2 GB the process may map: a 10000 x 10000 image (400 MB) is
        # refused from its header, whatever memory the machine has.
        with open(BIN, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("AddressSanitizer needs more address space than any limit")
        self.write("a.png", png_header_only(10000, 10000))

        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (1200 * 10**6, 1200 * 10**6))
        result = run(self.src, self.output(), preexec_fn=limit)
        self.assertEqual(result.returncode, 1)
        self.assertIn("200 MB", result.stderr)


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
        # Refused for its name (neither .psd nor .psb) before anything is read.
        result = run(self.src, source)
        self.assertEqual(result.returncode, 2)
        self.assertIn("the output name must end in .psd or .psb: " + source, result.stderr)
        with open(source, "rb") as f:
            self.assertEqual(f.read(), before)


if __name__ == "__main__":
    unittest.main()
