"""Started outside a login session (no XDG_RUNTIME_DIR: a service, su, a remote shell), every
program settles its runtime folder itself and says nothing about it; the station keeps its
instance lock there, so a second station is still refused."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import CNC_SIM, EXE, Station  # noqa: E402

SCAN = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")
LABEL = os.environ.get("QUORLAN_LABEL", "build/tools/quorlan-label")
PROGRAMS = {"quorlan": EXE, "quorlan-scan": SCAN, "quorlan-label": LABEL, "cnc-sim": CNC_SIM}


def expected_folder(cache):
    """Where a program without a session keeps its runtime folder: the session manager's when it is
    there, else one fixed folder in the user's cache."""
    uid = os.geteuid()
    system = f"/run/user/{uid}"
    if os.path.isdir(system) and os.stat(system).st_uid == uid:
        return system
    return os.path.join(cache, "quorlan", "runtime")


class SessionlessStation(Station):
    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.temporary = os.path.join(self.root, "tmp")
        self.cache = os.path.join(self.root, "cache")
        os.makedirs(self.temporary)

    def env(self):
        env = super().env()
        del env["XDG_RUNTIME_DIR"]
        env["TMPDIR"] = self.temporary
        env["XDG_CACHE_HOME"] = self.cache
        return env


class RuntimeFolderTest(unittest.TestCase):
    def test_help_and_version_print_nothing_but_themselves(self):
        with tempfile.TemporaryDirectory() as temporary:
            env = {key: value for key, value in os.environ.items() if key != "XDG_RUNTIME_DIR"}
            env["TMPDIR"] = temporary
            for name, program in PROGRAMS.items():
                for option in ("--help", "--version"):
                    run = subprocess.run([program, option], capture_output=True, text=True, env=env, timeout=30)
                    self.assertEqual(run.returncode, 0, (name, option, run.stderr))
                    self.assertEqual(run.stderr, "", (name, option))
                    self.assertTrue(run.stdout, (name, option))
                    if option == "--version":
                        self.assertRegex(run.stdout, rf"^(Quorlan|{name}) \d+\.\d+\.\d+\n$")

    def test_a_station_cnc_sim_and_the_label_maker_run_without_a_word_about_it(self):
        with SessionlessStation() as s:
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 10)
            folder = expected_folder(s.cache)
            self.assertTrue(os.path.exists(os.path.join(folder, "BarCode.lock")))
            self.assertEqual(os.stat(folder).st_mode & 0o777, 0o700)
            second = s.launch([])
            self.assertNotEqual(second.wait(20), 0)
            s._wait_for(lambda: any("already running" in line for line in s.stderr_lines), 5)
            self.assertTrue(any("already running" in line for line in s.stderr_lines), s.stderr_lines)

            # cnc-sim, started apart, serves a socket by name in the very same folder, where the
            # station's --cnc local:NAME looks.
            name = f"quorlan-e2e-{os.getpid()}"
            control = subprocess.Popen([CNC_SIM, "--unattended", "--listen", name],
                                       env=s.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            s.launched.append(control)
            self.assertIn(f"serving the CNC control on {os.path.join(folder, name)};", control.stdout.readline())
            control.terminate()
            control.wait(10)

            label = subprocess.run([LABEL, "--command-sheet", "--no-verify", "--output",
                                    os.path.join(s.root, "sheet.pdf")],
                                   env=s.env(), capture_output=True, text=True, timeout=120)
            self.assertEqual(label.returncode, 0, label.stderr)

            said = s.stderr_lines + control.stderr.read().splitlines() + label.stderr.splitlines()
            self.assertEqual([line for line in said if "XDG_RUNTIME_DIR" in line or "QStandardPaths" in line],
                             [])


if __name__ == "__main__":
    unittest.main()
