"""`cmake --install` into a staging folder under /usr, as the package installs: the files,
their validators, the installed programs, the manual pages and the shell completion."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from PIL import Image
from psd_tools import PSDImage

BUILD_DIR = os.environ.get("QUILLANE_BUILD_DIR", "")
SOURCE_DIR = os.environ.get("QUILLANE_SOURCE_DIR", "")
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
DESKTOP_ENTRY = "share/applications/quillane-app.desktop"
METAINFO = "share/metainfo/org.quillane.quillane.metainfo.xml"
EXPECTED_FILES = sorted(
    ["bin/quillane", "bin/quillane-app", DESKTOP_ENTRY, METAINFO,
     "share/icons/hicolor/scalable/apps/quillane.svg",
     "share/man/man1/quillane.1.gz", "share/man/man1/quillane-app.1.gz",
     "share/bash-completion/completions/quillane",
     "share/bash-completion/completions/quillane-app",
     "share/zsh/vendor-completions/_quillane", "share/doc/quillane/copyright"]
    + [f"share/icons/hicolor/{n}x{n}/apps/quillane.png" for n in ICON_SIZES])


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)


def strings_table(language):
    with open(os.path.join(SOURCE_DIR, "resources", "strings", language + ".strings"),
              encoding="utf-8") as table:
        return dict(re.findall(r'^"(\w+)" = "(.*)";$', table.read(), re.MULTILINE))


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not BUILD_DIR:
            raise unittest.SkipTest("QUILLANE_BUILD_DIR is not set")
        cls.scratch = tempfile.mkdtemp(prefix="quillane-install-")
        cls.stage = os.path.join(cls.scratch, "stage")
        cls.usr = os.path.join(cls.stage, "usr")
        installed = run(["cmake", "--install", BUILD_DIR, "--prefix", "/usr"],
                        env={**os.environ, "DESTDIR": cls.stage})
        if installed.returncode != 0:
            shutil.rmtree(cls.scratch)
            raise RuntimeError(installed.stdout + installed.stderr)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def installed(self, path):
        return os.path.join(self.usr, path)

    def usage(self, program, locale="C"):
        """What the installed program's --help prints, with no display to open."""
        # Qt makes its runtime folder in /tmp unless it is given one.
        home = os.path.join(self.scratch, "home")
        os.makedirs(home, mode=0o700, exist_ok=True)
        unset = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")
        env = {name: value for name, value in os.environ.items()
               if not name.startswith("LC_") and name not in unset}
        env.update(LANG=locale, HOME=home, XDG_CONFIG_HOME=home, XDG_RUNTIME_DIR=home)
        shown = run([self.installed("bin/" + program), "--help"], env=env)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        return shown.stdout

    def test_installed_files(self):
        found = sorted(os.path.relpath(os.path.join(folder, name), self.usr)
                       for folder, _, names in os.walk(self.stage) for name in names)
        self.assertEqual(found, EXPECTED_FILES)
        with open(self.installed(DESKTOP_ENTRY)) as entry:
            desktop = entry.read()
        self.assertIn("\nIcon=quillane\n", desktop)
        # Declaring folders would make Quillane the desktop's folder opener.
        self.assertNotIn("inode/directory", desktop)
        metainfo = ElementTree.parse(self.installed(METAINFO))
        self.assertEqual(metainfo.findtext("project_license"), "MIT")
        for program in ("bin/quillane", "bin/quillane-app"):
            self.assertTrue(os.access(self.installed(program), os.X_OK), program)
        for size in ICON_SIZES:
            icon = self.installed(f"share/icons/hicolor/{size}x{size}/apps/quillane.png")
            with Image.open(icon) as image:
                self.assertEqual(image.size, (size, size))

    def test_validators_find_nothing_to_say(self):
        desktop = run(["desktop-file-validate", self.installed(DESKTOP_ENTRY)])
        self.assertEqual((desktop.returncode, desktop.stdout + desktop.stderr), (0, ""))
        # validate-tree also looks for the desktop entry that the metainfo launches.
        for command in ("validate", "validate-tree"):
            target = self.installed(METAINFO) if command == "validate" else self.stage
            checked = run(["appstreamcli", command, "--no-net", "--pedantic", target])
            self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
            self.assertNotRegex(checked.stdout, r"(?m)^[EWIP]: ", command)

        # The newest release named in the metainfo is the version the programs report.
        newest = ElementTree.parse(self.installed(METAINFO)).find("releases/release").get("version")
        self.assertEqual(run([self.installed("bin/quillane"), "--version"]).stdout.split(),
                         ["quillane", newest])

    def test_installed_quillane_turns_samples_into_a_psd(self):
        samples = os.path.join(SOURCE_DIR, "samples")
        output = os.path.join(self.scratch, "samples.psd")
        made = run([self.installed("bin/quillane"), "-q", samples, output])
        self.assertEqual((made.returncode, made.stderr), (0, ""))
        names = sorted(os.listdir(samples))
        with Image.open(os.path.join(samples, names[0])) as first:
            canvas = first.size
        psd = PSDImage.open(output)
        self.assertEqual(psd.size, canvas)
        self.assertEqual([layer.name for layer in psd], names)

    def test_installed_app_speaks_the_locale_language(self):
        for locale, language in (("ja_JP.UTF-8", "ja"), ("C", "en")):
            self.assertIn(strings_table(language)["ABOUT_TEXT"],
                          self.usage("quillane-app", locale), locale)

    def test_manual_pages_render_cleanly_and_name_every_option(self):
        env = {**os.environ, "LC_ALL": "C.UTF-8", "MANWIDTH": "80"}
        for program, sections in (("quillane", ["EXIT STATUS"]), ("quillane-app", ["SRC_DIR"])):
            shown = run(["man", "--warnings", "-l",
                         self.installed(f"share/man/man1/{program}.1.gz")], env=env)
            self.assertEqual((shown.returncode, shown.stderr), (0, ""), program)
            for section in ["SYNOPSIS", "OPTIONS", "FILES", "EXAMPLES"] + sections:
                self.assertIn(section, shown.stdout, program)
            usage = self.usage(program)
            for option in set(re.findall(r"(?<![\w-])--?[a-z][\w-]*", usage)):
                self.assertIn(option, shown.stdout, program)

    def test_bash_completion(self):
        folder = os.path.join(self.scratch, "completion")
        os.makedirs(os.path.join(folder, "scans"), exist_ok=True)
        for name in ("a.psd", "b.psb", "c.png"):
            open(os.path.join(folder, name), "w").close()
        completions = self.installed("share/bash-completion/completions")
        cases = [
            ("quillane", ["--key", ""], ["black", "none", "white"]),
            ("quillane", ["--key", "w"], ["white"]),
            ("quillane", ["--ke"], ["--keep-resolution", "--key"]),
            ("quillane", ["--blend", "m"], ["multiply"]),
            ("quillane", [""], ["scans"]),
            ("quillane", ["-q", "--key", "black", "scans", ""], ["a.psd", "b.psb", "scans"]),
            ("quillane-app", [""], ["scans"]),
        ]
        for command, words, expected in cases:
            # The script as bash-completion loads it for the command, then the function it
            # registered, called as for a Tab after the words.
            script = ("source /usr/share/bash-completion/bash_completion\n"
                      f'source {completions}/"$1"\n'
                      'read -r _ _ function _ <<< "$(complete -p "$1")"\n'
                      'COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))\n'
                      'COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}\n'
                      '"$function"; printf "%s\\n" "${COMPREPLY[@]}"\n')
            shown = run(["bash", "-c", script, "bash", command, *words], cwd=folder)
            self.assertEqual(sorted(shown.stdout.split()), expected,
                             (command, words, shown.stderr))


if __name__ == "__main__":
    unittest.main()
