"""Start-up of the real station, unattended: settings, port, work list, single instance."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402


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
            self.assertIsNone(s.process.poll())


if __name__ == "__main__":
    unittest.main()
