"""Hostile scans, missing devices and floods through the real station: nothing may reach the
control or the scanner that the rules refuse, the operator's terminal stays intact, and a
scanner that is late or floods the line never deafens the station."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"


def write_all(fd, data):
    view = memoryview(data)
    while view:
        try:
            view = view[os.write(fd, view):]
        except BlockingIOError:
            time.sleep(0.005)


class HostileScanTest(unittest.TestCase):
    def setUp(self):
        self.station = Station(args=["NOAPP"])
        self.station.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.station.start()

    def tearDown(self):
        self.station.stop()

    def test_hostile_labels_are_refused_visibly_and_reach_neither_list_nor_scanner(self):
        s = self.station
        for label in (b"X;#171=9;#168=1", b"X\r\nAddLine #161=EVIL.CNC", b"\x1b[2J\x07FLANGE"):
            s.scan(label)
        s.wait_stdout(lambda line: "Label not accepted" in line and "[2J" in line, 10)
        refused = [line for line in s.stdout_lines if line.startswith("Label not accepted")]
        self.assertEqual(refused, [
            'Label not accepted (it holds ";", which separates the items of a work-list line): X;#171=9;#168=1',
            "Label not accepted (it holds the control character \\r): X\\r\\nAddLine #161=EVIL.CNC",
            "Label not accepted (it holds the control character \\x1B): \\x1B[2J\\x07FLANGE",
        ])
        self.assertFalse(any("\x1b" in line or "\x07" in line for line in s.stdout_lines + s.stderr_lines))
        self.assertEqual(s.journal_calls("AddLine"), [])
        self.assertEqual(s.read_answers(1), b"")

    def test_scanner_that_ends_each_scan_with_a_line_end_still_works(self):
        s = self.station
        s.scan("FLANGE\r\n")
        self.assertEqual(s.read_answers(3), b"ACK\r")
        lines = s.journal_calls("AddLine")
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith("AddLine #161=FLANGE.CNC;"), lines[0])
        self.assertIn(";#168=600;#169=400;#170=18;", lines[0])

    def test_flood_without_pause_is_discarded_whole_and_the_station_keeps_listening(self):
        s = self.station
        piece = b"x" * (64 * 1024)
        for _ in range(32):
            write_all(s.scanner, piece)
        s.wait_stdout(lambda line: line.endswith("bytes were discarded."), 60)
        self.assertIn("Scanner input too long without a pause: 2097152 bytes were discarded.", s.stdout_lines)
        s.scan("FLANGE")
        self.assertEqual(s.read_answers(3), b"ACK\r")
        self.assertEqual(len(s.journal_calls("AddLine")), 1)

    def test_journal_keeps_one_call_per_line(self):
        s = self.station
        s.scan("%01JOB1")
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("OpenList") for l in lines), 10))
        self.assertEqual(s.journal_calls("OpenList"), ["OpenList C:\\\\PROGS\\\\lsx\\\\JOB1.LST -> error 53"])


class LateScannerTest(unittest.TestCase):
    """The scanner's device appears only after the station started."""

    def test_device_created_after_start_up_is_opened_by_itself_and_old_input_is_dropped(self):
        s = Station(args=["NOAPP"])
        try:
            late = os.path.join(s.root, "late-port")
            with open(os.path.join(s.windows, "QZT.INI"), newline="") as f:
                text = f.read()
            s.write_settings(text.replace(s.station_end, late))
            s.write_file("PROGS/FLANGE.CNC", FLANGE)
            s.start(wait_ready=False)
            s.wait_stdout(lambda line: "cannot be opened" in line, 20)
            waiting = [line for line in s.stdout_lines if "cannot be opened" in line]
            self.assertEqual(waiting, [f"The scanner port COM1 ({late}) cannot be opened: Invalid port number: COM1 "
                                       f"has no device {late}. Trying again until it opens."])
            # Two scans the station could not hear: they got no ACK and must not come back as one part.
            s.scan("FLANGE", quiet_ticks=1)
            s.scan("TOP", quiet_ticks=1)
            time.sleep(2)
            os.symlink(s.station_end, late)
            s.wait_stdout(lambda line: "received while the port was closed were discarded" in line, 10)
            self.assertIn("9 bytes received while the port was closed were discarded; scan those labels again.",
                          s.stdout_lines)
            time.sleep(0.5)
            s.scan("FLANGE")
            self.assertEqual(s.read_answers(3), b"ACK\r")
            self.assertEqual([l.split(";")[0] for l in s.journal_calls("AddLine")], ["AddLine #161=FLANGE.CNC"])
        finally:
            s.stop()


if __name__ == "__main__":
    unittest.main()
