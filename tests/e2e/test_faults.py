"""Faults of the machine around the station, through the real station: the scanner's device
removed and recreated, the program folder missing or read-only, the CSV output folder missing,
the settings file read-only.
Each is reported, nothing is half-written, no label is acknowledged whose line did not go, and
the station carries on once the fault is mended."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
PART7_OLD = "G71 X600 Y400 Z18\r\n(OLD SEVEN)\r\nM30\r\n"
PART7_NEW = "G71 X600 Y400 Z18\r\n(PART SEVEN)\r\nN3 G01 X1 Y2\r\nM30"
TWO_D = "PART7^UN1^X600^Y400^Z18!" + PART7_NEW


class ReadOnly:
    """A folder nobody may create or replace files in, root included (the tests run as root in
    CI, and root ignores permission bits)."""

    def __init__(self, folder):
        self.folder = folder
        self.root = os.geteuid() == 0

    def __enter__(self):
        if self.root:
            if subprocess.run(["chattr", "+i", self.folder], capture_output=True).returncode != 0:
                raise unittest.SkipTest("this file system cannot make a folder immutable for root")
        else:
            os.chmod(self.folder, 0o555)
        return self

    def __exit__(self, *exc):
        if self.root:
            subprocess.run(["chattr", "-i", self.folder], check=True)
        else:
            os.chmod(self.folder, 0o755)


class FaultTest(unittest.TestCase):
    def setUp(self):
        self.s = Station(args=["NOAPP"])
        self.s.write_file("PROGS/FLANGE.CNC", FLANGE)

    def tearDown(self):
        self.s.stop()

    def added(self):
        return [line.split(";")[0] for line in self.s.journal_calls("AddLine")]

    def reported(self, text, seconds=10):
        self.s.wait_stdout(lambda line: text in line, seconds)

    def test_scanner_device_removed_and_recreated_is_opened_again_without_the_operator(self):
        s = self.s
        s.start()
        s.scan("FLANGE")
        self.assertEqual(self.s.acks(3), 1)
        s.unplug()
        self.reported("was lost")
        time.sleep(1)
        s.plug()
        self.reported("is open again")
        s.scan("FLANGE")
        self.assertEqual(self.s.acks(3), 1)
        self.assertEqual(self.added(), ["AddLine #161=FLANGE.CNC"] * 2)
        self.assertIsNone(s.process.poll())

    def test_program_folder_missing_or_read_only_refuses_the_2d_program_and_leaves_the_folder_as_it_was(self):
        s = self.s
        s.write_file("PROGS/PART7", PART7_OLD)
        s.start()
        folder = s.path("PROGS")
        with ReadOnly(folder):
            s.scan(TWO_D)
            self.reported("PART7 not saved, so it was not queued")
        self.assertEqual(sorted(os.listdir(folder)), ["FLANGE.CNC", "PART7", "lsx"], "no temporary file left")
        with open(os.path.join(folder, "PART7"), newline="") as f:
            self.assertEqual(f.read(), PART7_OLD)

        moved = folder + ".away"
        os.rename(folder, moved)
        s.scan(TWO_D)
        self.assertTrue(s._wait_for(
            lambda: sum("PART7 not saved" in line for line in s.stdout_lines) == 2, 10), s.stdout_lines)
        self.assertFalse(os.path.exists(folder), "a missing folder is not made up")
        self.assertEqual(self.added(), [])

        os.rename(moved, folder)
        s.scan(TWO_D)
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("AddLine #161=PART7;") for l in lines), 10))
        with open(os.path.join(folder, "PART7"), newline="") as f:
            self.assertEqual(f.read(), PART7_NEW + "\r\n")
        self.assertEqual(self.s.acks(0.5), 0, "2D scans get no ACK")
        self.assertIsNone(s.process.poll())

    def test_missing_csv_output_folder_is_named_and_the_record_waits_in_its_source(self):
        s = self.s
        s.write_file("CSV/FLANGE.CSV", "1;2;3\r\n")
        shutil.rmtree(s.path("OUT"))
        s.start()
        s.scan("FLANGE")
        s._wait_for(lambda: s.stderr_lines, 10)
        self.assertIn("Quorlan: Unexpected error # 76 occured: Path not found: C:\\OUT\\Quorlan.csv", s.stderr_lines)
        self.assertEqual(self.s.acks(1), 0)
        self.assertEqual(self.added(), [])
        self.assertEqual(os.listdir(s.path("CSV")), ["FLANGE.CSV"])

        os.makedirs(s.path("OUT"))
        s.scan("FLANGE")
        self.assertEqual(self.s.acks(3), 1)
        with open(s.path("OUT", "Quorlan.csv"), "rb") as f:
            self.assertEqual(f.read(), b"1;2;3\r\n")
        self.assertEqual(os.listdir(s.path("CSV")), [])
        self.assertEqual(self.added(), ["AddLine #161=FLANGE.CNC"])

    def test_read_only_settings_file_is_left_as_it_was_and_the_station_runs_on(self):
        s = self.s
        settings = os.path.join(s.windows, "QZT.INI")
        with open(settings, "rb") as f:
            before = f.read()
        os.chmod(settings, 0o444)
        # Start-up sets the boxes from the file; each change of a box is written at once.
        s.start()
        self.reported("The setting AutoStart was not saved: ")
        self.assertTrue(any(line.endswith("QZT.INI cannot be written.") for line in s.stdout_lines), s.stdout_lines)
        with open(settings, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(os.stat(settings).st_mode & 0o777, 0o444)
        self.assertEqual(sorted(os.listdir(s.windows)), ["QZT.INI"], "no temporary file left")
        s.scan("FLANGE")
        self.assertEqual(self.s.acks(3), 1)
        self.assertIsNone(s.process.poll())


if __name__ == "__main__":
    unittest.main()
