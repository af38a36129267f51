"""Subfolders as layer groups, end to end: the folder tree read back by psd-tools as the same
tree, and by ImageMagick without complaint."""
import os
import subprocess
import unittest

import numpy
from PIL import Image
from psd_tools.constants import BlendMode

from cli_support import CliTestCase, run


def tree(layers):
    """(name, children) for a group, the name alone for a pixel layer; bottom first."""
    return [(layer.name, tree(layer)) if layer.is_group() else layer.name for layer in layers]


class GroupsTest(CliTestCase):
    def test_subfolders_become_the_same_tree_of_groups(self):
        # Reading order: the top folder's own images, then each subfolder's the same way.
        order = ["b.png", "c.png", "scene 1/a.png", "scene 1/inner/x.png", "scene 1/other/y.png",
                 "scene 2/z.png"]
        for folder in ("scene 1/inner", "scene 1/other", "scene 2", "empty/below"):
            os.makedirs(self.source(folder))
        os.symlink(self.source("scene 2"), self.source("linked"))
        self.write("empty/notes.txt", b"not an image")
        for index, name in enumerate(order):
            pixels = numpy.zeros((6, 8, 4), numpy.uint8)
            pixels[index:, : index + 2] = (40 * index, 255 - 30 * index, 90, 128 + 20 * index)
            self.save(name, Image.fromarray(pixels, "RGBA"))

        self.assertEqual(run("-q", "--groups", self.src, self.output()).returncode, 0)
        psd = self.open_psd()
        self.assertEqual(tree(psd), [
            "b.png", "c.png",
            ("scene 1", ["a.png", ("inner", ["x.png"]), ("other", ["y.png"])]),
            ("scene 2", ["z.png"])])
        self.assertEqual({group.blend_mode for group in psd.descendants() if group.is_group()},
                         {BlendMode.PASS_THROUGH})
        subprocess.run(["identify", self.output()], check=True, capture_output=True)

        # The same images without folders, in the same order, make the same merged image.
        flat = os.path.join(self.scratch, "flat")
        os.mkdir(flat)
        for index, name in enumerate(order):
            os.link(self.source(name), os.path.join(flat, "%d.png" % index))
        self.assertEqual(run("-q", flat, self.output("flat.psd")).returncode, 0)
        self.assertTrue(numpy.array_equal(numpy.asarray(psd.topil()),
                                          numpy.asarray(self.open_psd(self.output("flat.psd")).topil())))


if __name__ == "__main__":
    unittest.main()
