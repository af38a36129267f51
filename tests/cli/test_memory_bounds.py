"""Small hostile files cost memory for what their data fills, not for what they claim."""
import os
import struct
import subprocess
import sys
import unittest
import zlib

from cli_support import BIN, CliTestCase

# Each case's honest cost is a few MiB; the bound leaves room for the process itself.
PEAK_BOUND_KIB = 100 * 1024


def png(width, height, depth, colour, interlace, data):
    def chunk(kind, body):
        crc = struct.pack(">I", zlib.crc32(kind + body))
        return struct.pack(">I", len(body)) + kind + body + crc
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", data) + chunk(b"IEND", b"")


def tiff(tags, data):
    """A little-endian TIFF of {tag: [values]} (SHORT for the few that must be, else LONG)
    and the data after its directory; a value None is the data's offset."""
    shorts = {258, 259, 262, 277, 284, 320}
    size = {tag: len(v) * (2 if tag in shorts else 4) for tag, v in tags.items()}
    end = 8 + 2 + 12 * len(tags) + 4
    data_at = end + sum(n for n in size.values() if n > 4)
    body, extra = struct.pack("<H", len(tags)), b""
    for tag in sorted(tags):
        values = [data_at if x is None else x for x in tags[tag]]
        kind = 3 if tag in shorts else 4
        value = struct.pack("<%d%s" % (len(values), "H" if kind == 3 else "I"), *values)
        body += struct.pack("<HHI", tag, kind, len(values))
        body += struct.pack("<I", end + len(extra)) if size[tag] > 4 else value.ljust(4, b"\0")
        extra += value if size[tag] > 4 else b""
    return b"II*\0" + struct.pack("<I", 8) + body + bytes(4) + extra + data


def tiled_tiff(side, tile, photometric, samples, data, colour_map=()):
    return tiff({256: [side], 257: [side], 258: [8] * samples, 259: [1], 262: [photometric],
                 277: [samples], 284: [1], 322: [tile], 323: [tile], 324: [None],
                 325: [len(data)], **({320: colour_map} if colour_map else {})}, data)


def planar_strips_tiff(width, height):
    """16-bit RGB in planes, one deflated strip a plane, each holding two rows of data."""
    strip = zlib.compress(bytes(width * 2 * 2))
    return tiff({256: [width], 257: [height], 258: [16] * 3, 259: [8], 262: [2], 277: [3],
                 278: [height], 284: [2], 273: [None] * 3, 279: [len(strip)] * 3}, strip)


def gif_screen_without_pixels(side):
    screen = b"GIF89a" + struct.pack("<HHBBB", side, side, 0x80, 0, 0) + bytes(6)
    return screen + b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02"


def gif_of_tiny_frames(side, count):
    """A GIF of side square and count 1 x 1 frames, each restoring what lay under it."""
    screen = b"GIF89a" + struct.pack("<HHBBB", side, side, 0x80, 0, 0) + bytes(6)
    control = b"\x21\xf9\x04\x0c\0\0\0\0"
    frame = b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00"
    return screen + (control + frame) * count + b"\x3b"


def pict_frame_without_opcodes(side):
    header = b"\x0c\x00" + b"\xff\xff\xff\xff" + bytes(20)
    return bytes(512) + struct.pack(">HHHHH", 0, 0, 0, side, side) + b"\x00\x11\x02\xff" + header


def rle8_bmp_of_one_row(side):
    palette = bytes(1024)
    offset = 14 + 40 + len(palette)
    runs = b"\xff\x01" * 4 + b"\x00\x00"  # a few pixels, one end of line, then nothing
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 8, 1, len(runs), 2835, 2835, 256, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(runs), 0, 0, offset) + info + palette + runs


def one_bit_png(width, height):
    """A valid white 1-bit grey PNG."""
    row = b"\0" + b"\xff" * ((width + 7) // 8)
    packer = zlib.compressobj(9)
    data = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
    return png(width, height, 1, 0, 0, data)


def rgba_png(width, height, pixel):
    """A valid 8-bit RGBA PNG whose every pixel is the 4 bytes given."""
    row = b"\0" + pixel * width
    packer = zlib.compressobj(1)
    data = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
    return png(width, height, 8, 6, 0, data)


def lossless_webp_header(side):
    """A lossless WebP declaring side x side pixels, with 8 bytes of data after its header."""
    stream = b"\x2f" + struct.pack("<I", (side - 1) | (side - 1) << 14) + bytes(8)
    chunk = b"VP8L" + struct.pack("<I", len(stream)) + stream
    return b"RIFF" + struct.pack("<I", 4 + len(chunk)) + b"WEBP" + chunk


def avif_grid(output_side):
    """The corpus's AVIF grid of 256 x 256 claimed tiles, its output claimed output_side square."""
    with open(os.path.join(os.environ["QUILLANE_TEST_DATA_DIR"], "bad",
                           "avif-grid-65536-tiles.avif"), "rb") as f:
        data = f.read()
    at = data.index(b"\x00\x00\xff\xff")
    return data[:at + 4] + struct.pack(">HH", output_side, output_side) + data[at + 8:]


# Made in a child process: a child of this one starts with its peak memory, so this one
# must not hold the raster.
ROTATED_JPEG = """
import io, sys
from PIL import Image
exif = Image.Exif()
exif[0x0112] = int(sys.argv[2])
side = int(sys.argv[1])
buffer = io.BytesIO()
Image.new("RGB", (side, side), (200, 30, 60)).save(buffer, "JPEG", exif=exif.tobytes())
sys.stdout.buffer.write(buffer.getvalue())
"""


def rotated_jpeg(side, orientation):
    """A JPEG of side x side with the orientation tag (6 turns it a quarter, 3 a half, 7 a
    quarter and mirrors it: the last two keep a part stored at the bottom right)."""
    return subprocess.run([sys.executable, "-c", ROTATED_JPEG, str(side), str(orientation)],
                          capture_output=True, check=True).stdout


# name, files (sorted by name: the first sets the canvas), extra options, exit status
CASES = [
    ("later TIFF in one claimed 20000-square tile", [
        ("a.png", lambda: one_bit_png(4, 4)),
        ("b.tif", lambda: tiled_tiff(4, 20000, 2, 3, bytes(48)))], [], 1),
    ("later palette TIFF in one 40000-square tile", [
        ("a.png", lambda: one_bit_png(4, 4)),
        ("b.tif", lambda: tiled_tiff(4, 40000, 3, 1, bytes(16), [0] * 768))], [], 1),
    ("later planar 16-bit TIFF whose strips claim 100000 x 3000", [
        ("a.png", lambda: one_bit_png(8, 3000)),
        ("b.tif", lambda: planar_strips_tiff(100000, 3000))], [], 1),
    ("first PNG, interlaced, claiming 20000 square", [
        ("a.png", lambda: png(20000, 20000, 8, 6, 1, zlib.compress(bytes(4000))))], [], 1),
    ("first PNG of RGBA rows claiming 12000 square", [
        ("a.png", lambda: png(12000, 12000, 8, 6, 0, zlib.compress(bytes(4000))))], [], 1),
    ("first GIF whose screen claims 20000 square", [
        ("a.gif", lambda: gif_screen_without_pixels(20000))], [], 1),
    ("GIF of 5000 frames on a 400-square screen, every frame a layer", [
        ("a.gif", lambda: gif_of_tiny_frames(400, 5000))], ["--all-frames"], 0),
    ("first PICT whose frame claims 20000 square", [
        ("a.pict", lambda: pict_frame_without_opcodes(20000))], [], 1),
    ("first RLE8 BMP claiming 30000 square", [
        ("a.bmp", lambda: rle8_bmp_of_one_row(30000))], [], 1),
    ("first PNG of 30001 x 10000 for a PSD", [
        ("a.png", lambda: one_bit_png(30001, 10000))], [], 1),
    ("first WebP whose lossless header claims 16384 square", [
        ("a.webp", lambda: lossless_webp_header(16384))], ["--modern-formats"], 1),
    ("later AVIF grid of 65536 tiles claiming 20000 square", [
        ("a.png", lambda: one_bit_png(4, 4)),
        ("b.avif", lambda: avif_grid(20000))], ["--modern-formats"], 1),
] + [
    ("later 8000-square JPEG of orientation %d with --orient" % orientation, [
        ("a.png", lambda: one_bit_png(8, 8)),
        ("b.jpg", lambda orientation=orientation: rotated_jpeg(8000, orientation))],
     ["--orient"], 0) for orientation in (6, 3, 7)
]


def peak_kib(args):
    """Runs quillane; answers its exit status, its peak resident memory in KiB, its stderr."""
    # Under AddressSanitizer, freed memory waits in a quarantine (256 MB by default) and
    # would count as resident: a small one keeps the peak what the program itself holds.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(
        filter(None, [env.get("ASAN_OPTIONS"), "quarantine_size_mb=4",
                      "thread_local_quarantine_size_kb=64"]))
    child = subprocess.Popen([BIN, *args], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                             env=env)
    stderr = child.stderr.read().decode()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    child.stderr.close()
    return child.returncode, usage.ru_maxrss, stderr


class MemoryBoundTest(CliTestCase):
    def test_hostile_files_cost_what_their_data_fills(self):
        for number, (name, files, options, status) in enumerate(CASES):
            with self.subTest(name):
                folder = os.path.join(self.scratch, str(number))
                os.mkdir(folder)
                for file_name, make in files:
                    with open(os.path.join(folder, file_name), "wb") as f:
                        f.write(make())
                code, peak, stderr = peak_kib(["-q", *options, folder, self.output()])
                self.assertEqual(code, status, stderr)
                if "30001" in name:  # refused from its header, for what a PSD holds
                    self.assertIn("30001 × 10000 pixels; a PSD file holds", stderr)
                self.assertLess(peak, PEAK_BOUND_KIB)

    def test_a_large_canvas_of_pngs_is_held_once(self):
        """Each layer's rows go from its decoder to the document in bands: the composite is
        the one raster the job holds, not also the image in hand and the next one."""
        width, height = 6000, 5000
        canvas_kib = width * height * 4 // 1024
        for number, pixel in enumerate([b"\x20\x40\x60\xff", b"\xff\xff\xff\x80", b"\0\0\0\0"]):
            self.write("%d.png" % number, rgba_png(width, height, pixel))
        code, peak, stderr = peak_kib(["-q", "--key", "white", self.src, self.output("out.psb")])
        self.assertEqual(code, 0, stderr)
        self.assertLess(peak, 2 * canvas_kib)


if __name__ == "__main__":
    unittest.main()
