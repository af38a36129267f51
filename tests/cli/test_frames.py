"""--all-frames end to end: every frame of a GIF as Pillow shows it and every page of a TIFF
become layers, read back with psd-tools."""
import unittest

import numpy
from PIL import Image, ImageSequence

from cli_support import CliTestCase, run

PALETTE = [0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * (252 * 3)


def squares():
    """Three 8 x 6 frames: a square moving down and right over transparent index 0."""
    frames = []
    for i in range(3):
        indices = numpy.zeros((6, 8), numpy.uint8)
        indices[i:i + 3, 2 * i:2 * i + 4] = i + 1
        frame = Image.fromarray(indices, "P")
        frame.putpalette(PALETTE)
        frames.append(frame)
    return frames


def layer_rgba(psd, layer):
    """The layer's pixels placed on the document's canvas."""
    canvas = numpy.zeros((psd.height, psd.width, 4), numpy.uint8)
    if layer.width and layer.height:
        pixels = numpy.asarray(layer.topil().convert("RGBA"))
        canvas[layer.top:layer.bottom, layer.left:layer.right] = pixels
    return canvas


class FramesTest(CliTestCase):
    def assertSamePixels(self, ours, theirs, message):
        """The same alpha everywhere, the same colour where a pixel shows."""
        self.assertEqual(ours[..., 3].tolist(), theirs[..., 3].tolist(), message)
        shown = theirs[..., 3] > 0
        self.assertEqual(ours[shown].tolist(), theirs[shown].tolist(), message)

    def test_gif_frames_as_pillow_shows_them_for_each_disposal(self):
        # A first frame that stays (1) makes restoring to the previous frame (3) differ from
        # clearing (2).
        for disposals in ([0, 0, 0], [1, 1, 1], [1, 2, 2], [1, 3, 3]):
            with self.subTest(disposals):
                frames = squares()
                path = self.source("a.gif")
                frames[0].save(path, save_all=True, append_images=frames[1:], disposal=disposals,
                               transparency=0, optimize=False, duration=100)
                self.assertEqual(run("-q", "--all-frames", self.src, self.output()).returncode, 0)
                psd = self.open_psd()
                self.assertEqual([layer.name for layer in psd], ["a.gif #1", "a.gif #2", "a.gif #3"])
                with Image.open(path) as gif:
                    shown = [numpy.asarray(f.convert("RGBA")) for f in ImageSequence.Iterator(gif)]
                for number, (layer, expected) in enumerate(zip(psd, shown)):
                    self.assertSamePixels(layer_rgba(psd, layer), expected, number)

    def test_tiff_pages_names_and_the_option_off(self):
        red = Image.new("RGB", (6, 4), (200, 10, 10))
        blue = Image.new("RGB", (3, 5), (10, 10, 200))
        red.save(self.source("b.tif"), save_all=True, append_images=[blue])
        squares()[0].save(self.source("c.gif"), transparency=0)  # one frame
        self.save("a.png", Image.new("RGB", (6, 4), (0, 90, 0)))
        self.assertEqual(run("-q", self.src, self.output("off.psd")).returncode, 0)
        self.assertEqual([layer.name for layer in self.open_psd(self.output("off.psd"))],
                         ["a.png", "b.tif", "c.gif"])
        result = run("--all-frames", self.src, self.output())
        self.assertEqual(result.returncode, 0)
        self.assertIn("[3/4] b.tif #2\n", result.stderr)  # the progress lines name the layers
        psd = self.open_psd()
        self.assertEqual([layer.name for layer in psd], ["a.png", "b.tif #1", "b.tif #2", "c.gif"])
        pages = [layer_rgba(psd, layer) for layer in list(psd)[1:3]]
        self.assertSamePixels(pages[0], numpy.asarray(red.convert("RGBA")), "page 1")
        blue_on_canvas = numpy.zeros((4, 6, 4), numpy.uint8)
        blue_on_canvas[:, :3] = numpy.asarray(blue.convert("RGBA"))[:4]
        self.assertSamePixels(pages[1], blue_on_canvas, "page 2")


if __name__ == "__main__":
    unittest.main()
