"""Shared helpers of the command-line tests: the binary, scratch folders, fixtures."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib

from PIL import Image
from psd_tools import PSDImage

BIN = os.environ.get("QUILLANE_BIN", "")


def run(*args, **kwargs):
    """Runs quillane with the arguments; answers the finished process (text output)."""
    return subprocess.run([BIN, *args], capture_output=True, text=True, timeout=300, **kwargs)


def png_header_only(width, height):
    """A PNG that declares width x height and holds no image data."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IEND", b"")


class CliTestCase(unittest.TestCase):
    """A source folder and an output folder per test, removed afterwards."""

    def setUp(self):
        if not BIN:
            self.skipTest("QUILLANE_BIN is not set")
        self.scratch = tempfile.mkdtemp(prefix="quillane-cli-")
        # Registered first, so that it runs last: after the cleanups that unmount or unlock
        # what a test made inside.
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)
        self.src = os.path.join(self.scratch, "src")
        self.out = os.path.join(self.scratch, "out")
        os.mkdir(self.src)
        os.mkdir(self.out)

    def source(self, name):
        return os.path.join(self.src, name)

    def save(self, name, image, **params):
        image.save(self.source(name), **params)
        return self.source(name)

    def write(self, name, data):
        with open(self.source(name), "wb") as f:
            f.write(data)
        return self.source(name)

    def output(self, name="out.psd"):
        return os.path.join(self.out, name)

    def open_psd(self, path=None):
        return PSDImage.open(path or self.output())

    def assertOutputFolder(self, names):
        self.assertEqual(sorted(os.listdir(self.out)), sorted(names))
