"""Colour profiles end to end: what the document embeds, and layers checked against Pillow's
own conversions (Little CMS through ImageCms) as psd-tools reads them."""
import io
import os
import struct
import re
import unittest
import zlib

import numpy
from PIL import Image, ImageCms, ImageOps
from psd_tools.constants import Resource

import lcms
from cli_support import CliTestCase, run

PROFILES = "/usr/share/color/icc/colord"
ADOBE_RGB = os.path.join(PROFILES, "AdobeRGB1998.icc")
PROPHOTO = os.path.join(PROFILES, "ProPhotoRGB.icc")
SRGB = os.path.join(PROFILES, "sRGB.icc")
GREY = "/usr/share/color/icc/Gray.icc"  # icc-profiles-free


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


def png16(samples, profile):
    """A PNG of 16-bit grey or RGBA samples (an array of height x width x 1 or 4) with the profile."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    height, width, channels = samples.shape
    rows = b"".join(b"\0" + row.astype(">u2").tobytes() for row in samples)
    kind = 0 if channels == 1 else 6
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 16, kind, 0, 0, 0))
            + chunk(b"iCCP", b"ICC\0\0" + zlib.compress(profile)) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def tiff16(rgb, profile):
    """An uncompressed TIFF of 16-bit RGB samples (height x width x 3) with the profile."""
    height, width = rgb.shape[:2]
    pixels = rgb.astype("<u2").tobytes()
    short, long, undefined, count = 3, 4, 7, 11
    bits_at = 8 + 2 + 12 * count + 4  # after the header and the one directory
    pixels_at = bits_at + 6
    entries = [(256, long, 1, width), (257, long, 1, height), (258, short, 3, bits_at),
               (259, short, 1, 1), (262, short, 1, 2), (273, long, 1, pixels_at), (277, short, 1, 3),
               (278, long, 1, height), (279, long, 1, len(pixels)), (284, short, 1, 1),
               (34675, undefined, len(profile), pixels_at + len(pixels))]
    directory = struct.pack("<H", count) + b"".join(
        struct.pack("<HHI", tag, kind, n)
        + (struct.pack("<HH", value, 0) if kind == short and n == 1 else struct.pack("<I", value))
        for tag, kind, n, value in entries) + b"\0" * 4
    return b"II*\0" + struct.pack("<I", 8) + directory + struct.pack("<3H", 16, 16, 16) + pixels + profile


def deep_gradient(width=96, height=16):
    """16-bit samples that fall between 8-bit steps, dark and mid tones of several hues."""
    x, y = numpy.meshgrid(numpy.arange(width), numpy.arange(height))
    rgb = numpy.stack([x * 97 + y * 9 + 2000, 12000 + x * 61, 9000 + y * 300 + x * 5], -1)
    return rgb.astype(numpy.uint16)


def cmyk_jpeg(cmyk, profile, adobe=True, orientation=None):
    """A JPEG of the CMYK samples (0 no ink) with the profile; without the Adobe marker, its
    stored samples read as their inverse. Answers the bytes and the CMYK a reader gets."""
    buffer = io.BytesIO()
    exif = Image.Exif()
    if orientation:
        exif[0x0112] = orientation
    Image.fromarray(cmyk, "CMYK").save(buffer, "JPEG", quality=90, icc_profile=profile, exif=exif.tobytes())
    data = buffer.getvalue()
    decoded = numpy.asarray(Image.open(io.BytesIO(data)))  # Pillow takes every CMYK JPEG as Adobe's
    if adobe:
        return data, decoded
    marker = data.index(b"\xff\xee")
    end = marker + 2 + int.from_bytes(data[marker + 2:marker + 4], "big")
    return data[:marker] + data[end:], 255 - decoded


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

    def test_16_bit_sources_are_converted_before_their_reduction_to_8_bits(self):
        prophoto = profile_bytes(PROPHOTO)
        deep = deep_gradient()
        height, width = deep.shape[:2]
        rgba = numpy.concatenate([deep, numpy.full((height, width, 1), 65535, numpy.uint16)], -1)
        rgba[1, :8, :3] = 65535  # pure white, keyed
        rgba[2, :8, :3] = 65534  # reads as 255 in 8 bits, not keyed
        rgba[3, :8, :3] = 65088  # reads as 253, converted as 254: beyond a tolerance of 1 of white
        # Untagged (sRGB), and narrower: the later files are decoded only within it.
        self.save("a.png", Image.new("RGB", (width - 5, height), (10, 20, 30)))
        canvas = numpy.s_[:, :width - 5]
        self.write("b.png", png16(rgba, prophoto))
        self.write("c.tif", tiff16(rgba[..., :3], prophoto))
        grey = deep[..., 1:2]
        self.write("d.png", png16(grey, profile_bytes(GREY)))
        self.assertEqual(run("-q", "--key", "white", self.src, self.output()).returncode, 0)
        psd, layers = self.layers()
        self.assertIsNone(psd.image_resources.get_data(Resource.ICC_PROFILE))
        expected = lcms.eight_bits(lcms.convert16(rgba[..., :3], prophoto))[canvas]
        reduced_first = numpy.asarray(converted(Image.fromarray(lcms.eight_bits(rgba[..., :3]), "RGB"),
                                                prophoto, SRGB_BUILT_IN))[canvas]
        for layer, what in ((layers[1], "PNG"), (layers[2], "TIFF")):
            self.assertTrue((layer[1, :8, 3] == 0).all() and (layer[2, :8, 3] == 255).all(), what)
            self.assertClose(layer[2:], expected[2:], what)
            self.assertGreater(numpy.abs(layer[2:, ..., :3].astype(int) - reduced_first[2:]).max(), 2,
                               "converting after the reduction gives other colours")
        grey_in_srgb = lcms.eight_bits(lcms.convert16(grey, profile_bytes(GREY)))[canvas]
        self.assertClose(layers[3], grey_in_srgb, "grey")
        self.assertTrue((layers[3][..., 3] == 255).all(), "grey keeps its alpha")

        self.assertEqual(run("-q", "--ignore-profiles", self.src, self.output("kept.psd")).returncode, 0)
        kept = numpy.asarray(self.open_psd(self.output("kept.psd"))[2].topil().convert("RGB"))
        self.assertTrue(numpy.array_equal(kept, lcms.eight_bits(rgba[..., :3])[canvas]), "kept as stored")

        # Within a tolerance the 8-bit samples as stored are keyed, so the file is converted after.
        self.assertEqual(run("-q", "--key", "white", "--tolerance", "1", self.src,
                             self.output("near.psd")).returncode, 0)
        near = numpy.asarray(self.open_psd(self.output("near.psd"))[1].topil().convert("RGBA"))
        self.assertTrue((near[2, :8, 3] == 0).all() and (near[3, :8, 3] == 255).all(), "keyed as stored")

    def test_cmyk_jpegs_are_converted_through_their_profile(self):
        profile = lcms.cmyk_profile()
        x, y = numpy.meshgrid(numpy.arange(40), numpy.arange(24))
        cmyk = numpy.stack([x * 6, y * 10, (x + y) * 4, (x * y) % 97], -1).astype(numpy.uint8)
        turned = numpy.ascontiguousarray(numpy.rot90(cmyk, 1))  # orientation 6 turns it back
        files = {"a.jpg": cmyk_jpeg(cmyk, profile), "b.jpg": cmyk_jpeg(cmyk, profile, adobe=False),
                 "c.jpg": cmyk_jpeg(turned, profile, orientation=6)}
        for name, (data, _) in files.items():
            self.write(name, data)
        self.assertEqual(run("-q", "--orient", self.src, self.output()).returncode, 0)
        psd, layers = self.layers()
        self.assertIsNone(psd.image_resources.get_data(Resource.ICC_PROFILE))
        # Pillow decodes the CMYK with the same libjpeg-turbo and converts with the same Little
        # CMS: equal here, within one step allowed for rounding elsewhere; the plain formula
        # differs by up to 116.
        for layer, (name, (_, decoded)) in zip(layers, files.items()):
            expected = ImageCms.profileToProfile(
                Image.fromarray(decoded, "CMYK"), opened(profile), SRGB_BUILT_IN, renderingIntent=1,
                outputMode="RGB", flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])
            if name == "c.jpg":
                expected = expected.transpose(Image.ROTATE_270)
            self.assertClose(layer, expected, name)

    def test_a_turned_photo_keeps_its_profile(self):
        exif = Image.Exif()
        exif[0x0112] = 6
        self.save("a.jpg", gradient(), icc_profile=profile_bytes(ADOBE_RGB), exif=exif.tobytes())
        self.assertEqual(run("-q", "--orient", self.src, self.output()).returncode, 0)
        embedded = self.open_psd().image_resources.get_data(Resource.ICC_PROFILE)
        self.assertEqual(embedded, profile_bytes(ADOBE_RGB))
    def test_the_log_counts_the_files_to_convert_from_their_headers(self):
        adobe, prophoto = profile_bytes(ADOBE_RGB), profile_bytes(PROPHOTO)
        self.save("a.png", gradient(), icc_profile=adobe)
        self.save("b.jpg", gradient())  # untagged: sRGB, converted
        self.save("c.jpg", gradient(), icc_profile=prophoto + b"\0" * 70000)  # in two APP2 parts
        self.save("d.png", gradient(), icc_profile=adobe)  # the document's own: as stored
        self.save("e.tif", gradient(), icc_profile=prophoto)
        self.save("f.gif", gradient().convert("P"))
        self.save("g.png", gradient(), icc_profile=b"\0" * 4000)  # ignored: sRGB
        self.save("h.jpg", gradient().convert("CMYK"), icc_profile=lcms.cmyk_profile())  # sRGB
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
