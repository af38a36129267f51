"""Colour profiles end to end: what the document embeds, and layers checked against Pillow's
own conversions (Little CMS through ImageCms) as psd-tools reads them."""
import io
import os
import re
import unittest

import numpy
from PIL import Image, ImageCms
from psd_tools.constants import Resource

from cli_support import CliTestCase, run

PROFILES = "/usr/share/color/icc/colord"
ADOBE_RGB = os.path.join(PROFILES, "AdobeRGB1998.icc")
PROPHOTO = os.path.join(PROFILES, "ProPhotoRGB.icc")
SRGB = os.path.join(PROFILES, "sRGB.icc")
GREY = "/usr/share/color/icc/Gray.icc"  # icc-profiles-free
CMYK = "/usr/share/color/icc/ghostscript/default_cmyk.icc"  # libgs-common


def profile_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def gradient(width=48, height=32):
    """Every pixel a different colour, saturated ones included."""
    x, y = numpy.meshgrid(numpy.arange(width), numpy.arange(height))
    rgb = numpy.stack([x * 255 // (width - 1), y * 255 // (height - 1), (x + y) * 3 % 256], -1)
    return Image.fromarray(rgb.astype(numpy.uint8), "RGB")


def opened(profile):
    return profile if isinstance(profile, ImageCms.ImageCmsProfile) else ImageCms.getOpenProfile(io.BytesIO(profile))


def converted(image, source, target):
    """The image converted as editors do: relative colorimetric, black-point compensation."""
    return ImageCms.profileToProfile(
        image, opened(source), opened(target),
        renderingIntent=1,  # relative colorimetric
        flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])


# Little CMS's own sRGB, which untagged images count as (a saved copy converts a little
# differently).
SRGB_BUILT_IN = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB"))


@unittest.skipUnless(os.path.exists(ADOBE_RGB), "colord-data is not installed")
class ColourTest(CliTestCase):
    def layers(self):
        psd = self.open_psd()
        return psd, [numpy.asarray(layer.topil().convert("RGBA")) for layer in psd]

    def assertClose(self, layer, expected, what):
        difference = numpy.abs(layer[..., :3].astype(int) - numpy.asarray(expected).astype(int))
        self.assertLessEqual(difference.max(), 1, what)

    def test_the_first_profile_is_embedded_and_later_files_converted_into_it(self):
        adobe = profile_bytes(ADOBE_RGB)
        first, second, third = gradient(), gradient().transpose(Image.FLIP_LEFT_RIGHT), gradient()
        self.save("a.png", first, icc_profile=adobe)
        self.save("b.png", second)  # untagged: sRGB
        self.save("c.png", third, icc_profile=profile_bytes(PROPHOTO))
        self.save("d.png", first, icc_profile=adobe)  # the document's own profile: as stored
        result = run("-v", self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        psd, layers = self.layers()
        self.assertEqual(psd.image_resources.get_data(Resource.ICC_PROFILE), adobe)
        self.assertTrue(numpy.array_equal(layers[0][..., :3], numpy.asarray(first)))
        self.assertClose(layers[1], converted(second, SRGB_BUILT_IN, adobe), "sRGB into Adobe RGB")
        self.assertClose(layers[2], converted(third, profile_bytes(PROPHOTO), adobe), "ProPhoto")
        self.assertTrue(numpy.array_equal(layers[3][..., :3], numpy.asarray(first)))
        self.assertIn("Adobe RGB", result.stderr)

        # Kept as stored when asked: the bytes of the same folder without any profile.
        self.assertEqual(run("-q", "--ignore-profiles", self.src, self.output("kept.psd")).returncode, 0)
        for name, image in (("a.png", first), ("b.png", second), ("c.png", third), ("d.png", first)):
            self.save(name, image)
        self.assertEqual(run("-q", self.src, self.output("untagged.psd")).returncode, 0)
        with open(self.output("kept.psd"), "rb") as kept, open(self.output("untagged.psd"), "rb") as plain:
            self.assertEqual(kept.read(), plain.read())

    def test_an_srgb_document_embeds_nothing_and_keys_the_source_samples(self):
        prophoto = profile_bytes(PROPHOTO)
        self.save("a.jpg", gradient(), quality=95)
        self.save("b.jpg", gradient(), quality=95, icc_profile=profile_bytes(SRGB))
        keyed = gradient()
        keyed.paste((255, 255, 255), (0, 0, 8, 8))
        self.save("c.png", keyed, icc_profile=prophoto)
        grey = gradient().convert("L")
        self.save("d.png", grey, icc_profile=profile_bytes(GREY))
        self.assertEqual(run("-q", "--key", "white", self.src, self.output()).returncode, 0)
        psd, layers = self.layers()
        self.assertIsNone(psd.image_resources.get_data(Resource.ICC_PROFILE))
        jpeg = numpy.asarray(Image.open(self.source("b.jpg")).convert("RGB"))
        self.assertTrue(numpy.array_equal(layers[1][..., :3], jpeg), "an sRGB profile converts nothing")
        self.assertTrue((layers[2][0:8, 0:8, 3] == 0).all(), "pure white is keyed")
        self.assertClose(layers[2][8:, :], numpy.asarray(converted(keyed, prophoto, SRGB_BUILT_IN))[8:, :],
                         "ProPhoto into sRGB")
        grey_in_srgb = ImageCms.profileToProfile(grey, ImageCms.getOpenProfile(GREY), SRGB_BUILT_IN,
                                                 renderingIntent=1, outputMode="RGB",
                                                 flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])
        self.assertClose(layers[3], grey_in_srgb, "grey through its profile")

    def test_the_log_counts_the_files_to_convert_from_their_headers(self):
        adobe, prophoto = profile_bytes(ADOBE_RGB), profile_bytes(PROPHOTO)
        self.save("a.png", gradient(), icc_profile=adobe)
        self.save("b.jpg", gradient())  # untagged: sRGB, converted
        self.save("c.jpg", gradient(), icc_profile=prophoto + b"\0" * 70000)  # in two APP2 parts
        self.save("d.png", gradient(), icc_profile=adobe)  # the document's own: as stored
        self.save("e.tif", gradient(), icc_profile=prophoto)
        self.save("f.gif", gradient().convert("P"))
        self.save("g.png", gradient(), icc_profile=b"\0" * 4000)  # ignored: sRGB
        self.save("h.jpg", gradient().convert("CMYK"), icc_profile=profile_bytes(CMYK))  # sRGB
        self.save("i.png", gradient(), icc_profile=adobe[:128] + b"\xff" * 64)
        result = run("-v", self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("colour: 7 of the other files will be converted", result.stderr)
        converted = re.findall(r"^colour: \S+ converted into", result.stderr, re.MULTILINE)
        self.assertEqual(len(converted), 7, "as many as their turns convert")

        ignored = run("-v", "--ignore-profiles", self.src, self.output("kept.psd"))
        self.assertNotIn("will be converted", ignored.stderr)

    def test_unusable_profiles_are_ignored(self):
        adobe = profile_bytes(ADOBE_RGB)
        lab = ImageCms.ImageCmsProfile(ImageCms.createProfile("LAB")).tobytes()
        for name, profile in (("a.png", adobe[:200]), ("b.png", b"\0" * 4000), ("c.png", lab),
                              ("d.png", adobe[:128] + b"\xff" * 64)):
            self.save(name, gradient(), icc_profile=profile)
        result = run("-v", self.src, self.output())
        self.assertEqual(result.returncode, 0, result.stderr)
        psd, layers = self.layers()
        self.assertIsNone(psd.image_resources.get_data(Resource.ICC_PROFILE))
        for layer in layers:
            self.assertTrue(numpy.array_equal(layer[..., :3], numpy.asarray(gradient())))


if __name__ == "__main__":
    unittest.main()
