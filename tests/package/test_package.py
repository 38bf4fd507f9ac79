"""The Debian package as an installer gets it: built with CPack, unpacked into a temporary root,
its files, its desktop entry and its dependencies checked, and its programs run."""

import gzip
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

CONFIG = os.environ.get("QUORLAN_CPACK_CONFIG", "build/CPackConfig.cmake")
VERSION = os.environ.get("QUORLAN_VERSION", "")


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quorlan-package-")
        subprocess.run(["cpack", "--config", CONFIG, "-G", "DEB", "-B", cls.work], check=True, capture_output=True,
                       timeout=240)
        debs = [name for name in os.listdir(cls.work) if name.endswith(".deb")]
        assert len(debs) == 1, debs
        cls.deb = os.path.join(cls.work, debs[0])
        cls.root = os.path.join(cls.work, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", self.deb, name], check=True, capture_output=True,
                              text=True).stdout.strip()

    def installed(self, *parts):
        return os.path.join(self.root, "usr", *parts)

    def test_programs_and_their_companions_are_in_place(self):
        for program in ("quorlan", "quorlan-scan", "quorlan-label", "cnc-sim"):
            self.assertTrue(os.access(self.installed("bin", program), os.X_OK), program)
        for path in (("share", "icons", "hicolor", "scalable", "apps", "quorlan.svg"),
                     ("share", "doc", "quorlan", "README.md"),
                     ("share", "doc", "quorlan", "QZT.INI.example")):
            self.assertTrue(os.path.isfile(self.installed(*path)), path)
        for size in (16, 32, 48, 128, 256):
            with open(self.installed("share", "icons", "hicolor", f"{size}x{size}", "apps", "quorlan.png"), "rb") as f:
                header = f.read(24)
            self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(struct.unpack(">II", header[16:24]), (size, size))

    def test_desktop_entry_starts_the_installed_program_with_its_icon(self):
        with open(self.installed("share", "applications", "quorlan.desktop")) as f:
            entry = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
        self.assertEqual(entry["Type"], "Application")
        self.assertTrue(os.path.isfile(self.installed("bin", entry["Exec"].split()[0])))
        self.assertTrue(os.path.isfile(self.installed("share", "icons", "hicolor", "scalable", "apps",
                                                      entry["Icon"] + ".svg")))

    def test_dependencies_are_debian_runtime_packages(self):
        self.assertEqual(self.field("Version"), VERSION)
        names = [re.match(r"\s*([a-z0-9][a-z0-9+.-]*)", item).group(1) for item in self.field("Depends").split(",")]
        for needed in ("libc6", "libstdc++6", "libqt6widgets6", "libqt6serialport6", "libqt6svg6"):
            self.assertIn(needed, names)
        for name in names:
            self.assertFalse(name.endswith("-dev"), name)
            known = subprocess.run(["dpkg-query", "-W", name], capture_output=True)
            self.assertEqual(known.returncode, 0, f"{name} is not a Debian package installed here")

    def test_copyright_changelog_and_maintainer_are_as_debian_wants_them(self):
        maintainer = self.field("Maintainer")
        self.assertRegex(maintainer, r"^[^<>@]+ <[^<>@\s]+@[^<>@\s]+\.[a-z]+>$")
        with open(self.installed("share", "doc", "quorlan", "copyright")) as f:
            copyright = f.read()
        self.assertTrue(copyright.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/"))
        self.assertRegex(copyright, r"(?m)^Files: \*\nCopyright: \d{4} .+\nLicense: \S+")
        with gzip.open(self.installed("share", "doc", "quorlan", "changelog.gz"), "rt") as f:
            changelog = f.read().splitlines()
        self.assertRegex(changelog[0], rf"^quorlan \({re.escape(VERSION)}\) \w+; urgency=\w+$")
        trailer = [line for line in changelog if line.startswith(" -- ")]
        self.assertEqual(len(trailer), 1, changelog)
        self.assertRegex(trailer[0], rf"^ -- {re.escape(maintainer)}  \w{{3}}, \d\d \w{{3}} \d{{4}} [\d:]{{8}} \+0000$")
        self.assertIn("socat", [item.strip() for item in self.field("Recommends").split(",")])

    def test_unpacked_programs_run_on_the_systems_libraries(self):
        for program in ("quorlan", "quorlan-scan", "quorlan-label", "cnc-sim"):
            dynamic = subprocess.run(["readelf", "-d", self.installed("bin", program)], check=True,
                                     capture_output=True, text=True).stdout
            self.assertNotIn("RUNPATH", dynamic, program)
            self.assertNotIn("RPATH", dynamic, program)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        version = subprocess.run([self.installed("bin", "quorlan"), "--version"], capture_output=True, text=True,
                                 env=env, timeout=30)
        self.assertEqual(version.stdout, f"Quorlan {VERSION}\n", version.stderr)
        scan_help = subprocess.run([self.installed("bin", "quorlan-scan"), "--help"], capture_output=True, timeout=30)
        self.assertEqual(scan_help.returncode, 0)


if __name__ == "__main__":
    unittest.main()
