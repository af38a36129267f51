"""Ctrl-C: the job stops at the top of the next file; a second Ctrl-C ends at once."""
import os
import signal
import subprocess
import time
import unittest

from PIL import Image

from cli_support import BIN, CliTestCase

# Large enough that every file takes a while (decoding, keying pixel by pixel, encoding),
# so that a signal lands while the job runs; the images are links to one file.
SIDE = 1200
FILES = 24


class InterruptTest(CliTestCase):
    def setUp(self):
        super().setUp()
        first = self.save("img00.bmp", Image.effect_noise((SIDE, SIDE), 60).convert("RGB"))
        for i in range(1, FILES):
            os.link(first, self.source("img%02d.bmp" % i))

    def start(self, *args):
        process = subprocess.Popen([BIN, "--key", "white", *args, self.src, self.output()],
                                   stderr=subprocess.PIPE, text=True)
        self.addCleanup(process.stderr.close)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def wait_for_line(self, process, text):
        """Reads stderr until a line holds text; answers everything read."""
        seen = ""
        for line in process.stderr:
            seen += line
            if text in line:
                return seen
        self.fail("never saw %r in %r" % (text, seen))

    def test_ctrl_c_stops_before_the_next_file_and_writes_nothing(self):
        process = self.start()
        self.wait_for_line(process, "[2/%d]" % FILES)
        process.send_signal(signal.SIGINT)
        rest = process.stderr.read()
        self.assertEqual(process.wait(timeout=120), 130, rest)
        self.assertIn("stopped; nothing was written", rest)
        self.assertOutputFolder([])

    def test_second_ctrl_c_ends_at_once_leaving_nothing(self):
        process = self.start()
        self.wait_for_line(process, "[1/%d]" % FILES)
        process.send_signal(signal.SIGINT)
        self.wait_for_line(process, "stopping")
        process.send_signal(signal.SIGINT)
        started = time.monotonic()
        self.assertEqual(process.wait(timeout=120), 130)
        self.assertLess(time.monotonic() - started, 5)
        self.assertOutputFolder([])

    def test_ctrl_c_during_the_last_file_still_writes_it(self):
        # With -v the job logs the keying of each file, which comes after its turn's stop
        # check: a Ctrl-C sent once the last file is being keyed is not seen by this job.
        kept = 12
        for i in range(kept, FILES):
            os.remove(self.source("img%02d.bmp" % i))
        process = self.start("-v")
        for _ in range(kept):
            self.wait_for_line(process, "inBitImage:")
        process.send_signal(signal.SIGINT)
        rest = process.stderr.read()
        self.assertEqual(process.wait(timeout=120), 0, rest)
        self.assertIn("the stop came during the last file", rest)
        self.assertOutputFolder(["out.psd"])
        self.assertEqual(len(self.open_psd()), kept)


if __name__ == "__main__":
    unittest.main()
