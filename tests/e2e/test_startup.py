"""Start-up of the real station, unattended: settings, port, work list, single instance."""

import os
import signal
import re
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import EXE, Station  # noqa: E402


class StartupTest(unittest.TestCase):
    def test_start_up_reads_settings_opens_the_port_and_takes_the_work_list(self):
        with Station() as s:
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 10)
            self.assertIn("COM1:9600,N,8,1", s.stdout_lines)
            self.assertTrue(s.wait_journal(lambda lines: "NewList" in lines, 10))
            journal = s.journal_lines()
            self.assertLess(journal.index("CreateApplication"), journal.index("NewList"))

    def test_noapp_in_any_case_anywhere_skips_the_work_list(self):
        with Station(args=["keep", "NoApp"]) as s:
            s.start()
            self.assertTrue(s.wait_journal(lambda lines: "CreateApplication" in lines, 10))
            self.assertNotIn("NewList", s.journal_lines())

    def test_second_instance_is_refused(self):
        with Station() as s:
            s.start()
            second = s.launch([])
            second.wait(20)
            self.assertNotEqual(second.returncode, 0)
            s.wait_stdout(lambda line: True, 1)
            self.assertTrue(any("the BarCode Program is already running!" in line for line in s.stderr_lines),
                            s.stderr_lines)
            self.assertIsNone(s.process.poll(), "the first instance keeps running")

    def test_missing_settings_file_is_reported_and_the_station_still_comes_up(self):
        with Station(settings=False) as s:
            s.start(wait_ready=False)
            s.wait_stdout(lambda line: line == "Ready.", 10)
            self.assertTrue(any("File QZT.INI Not Found" in line for line in s.stderr_lines), s.stderr_lines)
            s._wait_for(lambda: any("looked for" in line for line in s.stderr_lines), 5)
            where = [line for line in s.stderr_lines if "looked for" in line]
            self.assertTrue(where and s.windows in where[0], s.stderr_lines)
            self.assertIsNone(s.process.poll())

    def test_the_example_settings_file_starts_a_station(self):
        example = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "QZT.INI.example")
        with open(example, newline="") as f:
            text = f.read()
        with Station(settings=False) as s:
            s.write_settings(re.sub(r"(?m)^CommDevice1=.*$", "CommDevice1=" + s.station_end, text))
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 10)
            self.assertIn("COM1:9600,N,8,1", s.stdout_lines)
            self.assertEqual([line for line in s.stderr_lines if "QZT.INI" in line], [])

    def test_without_a_display_the_station_runs_unattended_and_says_so(self):
        with Station() as s:
            s.process = s.launch([], unattended=False)
            s.wait_stdout(lambda line: line == "Ready.", 20)
            self.assertTrue(any("running unattended" in line for line in s.stderr_lines), s.stderr_lines)


class CommandLineTest(unittest.TestCase):
    def run_station(self, *args):
        return subprocess.run([EXE, *args], capture_output=True, text=True, timeout=30,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))

    def test_help_and_version_print_and_end(self):
        help_run = self.run_station("--help", "NOAPP")
        self.assertEqual(help_run.returncode, 0, help_run.stderr)
        self.assertTrue(help_run.stdout.startswith("usage: quorlan "), help_run.stdout)
        for term in ("--unattended", "--cnc-journal FILE", "--list-timeout SECONDS", "NOAPP", "KEEP"):
            self.assertIn(term, help_run.stdout)
        version_run = self.run_station("--version")
        self.assertEqual(version_run.returncode, 0, version_run.stderr)
        self.assertRegex(version_run.stdout, r"^Quorlan \d+\.\d+\.\d+\n$")

    def test_unknown_option_is_a_usage_error(self):
        result = self.run_station("--bogus")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stdout, "")
        self.assertIn("quorlan: unknown option --bogus", result.stderr)
        self.assertIn("usage: quorlan [OPTION]... [WORD]...", result.stderr)

    def test_a_new_control_key_is_written_once_for_its_owner_alone(self):
        with tempfile.TemporaryDirectory() as folder:
            key = os.path.join(folder, "control.key")
            old_mask = os.umask(0)
            try:
                first = self.run_station("--new-control-key", key)
            finally:
                os.umask(old_mask)
            self.assertEqual(first.returncode, 0, first.stderr)
            self.assertIn(key, first.stdout)
            self.assertEqual(stat.S_IMODE(os.stat(key).st_mode), 0o600)
            with open(key) as f:
                text = f.read()
            self.assertRegex(text, r"^[0-9a-f]{64}\n$")

            again = self.run_station("--new-control-key", key)
            self.assertEqual(again.returncode, 1)
            self.assertIn("quorlan: no new control key: " + key + " cannot be created: File exists", again.stderr)
            with open(key) as f:
                self.assertEqual(f.read(), text)


class TerminationTest(unittest.TestCase):
    def test_a_termination_signal_closes_the_port_as_the_close_box_does(self):
        for number in (signal.SIGTERM, signal.SIGINT):
            with Station(args=["NOAPP"]) as s:
                s.start()
                lock = "/run/lock/LCK.." + s.station_end.replace("/", "_")
                held = os.path.exists(lock)
                s.process.send_signal(number)
                self.assertEqual(s.process.wait(10), 0, number)
                if held:  # where the serial library keeps its locks there
                    self.assertFalse(os.path.exists(lock), "a stale lock would be left for the next start")


if __name__ == "__main__":
    unittest.main()
