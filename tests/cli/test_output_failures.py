"""The document cannot be saved: a real failure (each kind of failure of the file calls is
tested in tests/job/OutputFileThreadTest.cpp) names the output path, leaves a file already
there byte for byte, and leaves no temporary file; the process killed at any moment leaves
the old document or the new one whole."""
import os
import random
import resource
import signal
import subprocess
import time
import unittest

from PIL import Image

from cli_support import BIN, CliTestCase, run

WRITE_ERROR = "quillane: The document cannot be saved: "
OLD = b"the previous document\n"


class OutputFailureTest(CliTestCase):
    def setUp(self):
        super().setUp()
        # Noise compresses badly: the document is about 1 MB.
        self.save("a.png", Image.effect_noise((360, 360), 90).convert("RGB"))
        self.save("b.png", Image.effect_noise((360, 360), 40).convert("RGB"))

    def put_old(self):
        path = os.path.join(self.out, "out.psd")
        with open(path, "wb") as f:
            f.write(OLD)
        return path

    def test_file_size_limit(self):
        path = self.put_old()

        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (64 << 10, 64 << 10))
        result = run(self.src, path, preexec_fn=limit)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(WRITE_ERROR + path + ": File too large", result.stderr)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), OLD)
        self.assertEqual(os.listdir(self.out), ["out.psd"])

    def test_killed_at_any_moment_leaves_old_or_new_whole(self):
        path = self.output()
        started = time.monotonic()
        self.assertEqual(run(self.src, path).returncode, 0)
        duration = time.monotonic() - started
        with open(path, "rb") as f:
            new = f.read()
        rng = random.Random(5)
        outcomes = {"old": 0, "new": 0, "none": 0, "named": 0}
        for attempt in range(60):
            replacing = attempt % 2 == 0  # else the document is new
            if replacing:
                self.put_old()
            elif os.path.exists(path):
                os.remove(path)
            process = subprocess.Popen([BIN, self.src, path], stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, duration * 1.2))
            process.send_signal(signal.SIGKILL)
            process.wait()
            if not replacing and not os.listdir(self.out):
                outcomes["none"] += 1
                continue
            names = sorted(os.listdir(self.out))
            with open(path, "rb") as f:
                content = f.read()
            self.assertIn(content, (OLD, new) if replacing else (new,), "attempt %d" % attempt)
            outcomes["old" if content == OLD else "new"] += 1
            if names != ["out.psd"]:
                # Linux cannot put an unnamed file over an existing one in one step: the new
                # document gets a name of its own for the instant before the rename. A kill
                # in that instant leaves it there, whole, beside the old document.
                self.assertTrue(replacing and content == OLD, "attempt %d: %s" % (attempt, names))
                self.assertEqual(len(names), 2, names)
                leftover = os.path.join(self.out, names[0])
                self.assertRegex(names[0], r"^\.out\.psd\..*\.tmp$")
                with open(leftover, "rb") as f:
                    self.assertEqual(f.read(), new, "attempt %d" % attempt)
                os.remove(leftover)
                outcomes["named"] += 1
        self.assertGreater(outcomes["old"] + outcomes["none"], 0, outcomes)
        self.assertLessEqual(outcomes["named"], 3, outcomes)


if __name__ == "__main__":
    unittest.main()
