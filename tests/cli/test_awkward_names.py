"""Good images with awkward names simply work, their layers named after them; items that
are not regular files are not listed and do not stop the job."""
import os
import subprocess
import unittest

from PIL import Image

from cli_support import BIN, CliTestCase, run


class AwkwardNamesTest(CliTestCase):
    def add(self, name, colour=(10, 20, 30)):
        path = os.path.join(os.fsencode(self.src), os.fsencode(name))
        Image.new("RGB", (6, 4), colour).save(path, "PNG")
        return path

    def layer_names(self):
        return [layer.name for layer in self.open_psd()]

    def test_names_become_layer_names(self):
        self.add(b"a-caf\xe9.png")  # Latin-1, not valid UTF-8
        self.add("b-%s%n%x.png")
        self.add("c-new\nline.png")
        self.add("d-ünïcödé.png")
        # Bytes: the progress lines repeat the names as they are.
        result = subprocess.run([BIN, self.src, self.output()], capture_output=True, timeout=300)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"a-caf\xe9.png", result.stderr)
        self.assertEqual(self.layer_names(),
                         ["a-caf\ufffd.png", "b-%s%n%x.png", "c-new\nline.png", "d-ünïcödé.png"])

    def test_folder_beginning_with_a_dash_after_double_dash(self):
        dashed = os.path.join(self.scratch, "-v")
        os.mkdir(dashed)
        Image.new("RGB", (6, 4), (1, 2, 3)).save(os.path.join(dashed, "a.png"))
        result = run("--", "-v", os.path.join("..", "out", "out.psd"), cwd=self.scratch + "/src")
        self.assertEqual(result.returncode, 1, result.stderr)  # src holds no -v folder
        result = run("--", "-v", "out/out.psd", cwd=self.scratch)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.layer_names(), ["a.png"])

    def test_fifo_and_symbolic_links_are_not_listed(self):
        self.add("a.png")
        os.mkfifo(self.source("b-fifo.png"))
        os.symlink(self.source("a.png"), self.source("c-link.png"))
        os.symlink("/nowhere", self.source("d-dangling.png"))
        os.mkdir(self.source("e-folder.png"))
        self.add("f.png")
        result = run(self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.layer_names(), ["a.png", "f.png"])


if __name__ == "__main__":
    unittest.main()
