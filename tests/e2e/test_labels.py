"""One-dimensional labels through the real station: scanner in, work-list lines and ACKs out."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"


def added_programs(station):
    return [line.split(";")[0][len("AddLine #161="):] for line in station.journal_calls("AddLine")]


class LabelTest(unittest.TestCase):
    def setUp(self):
        self.station = Station(args=["NOAPP"])
        self.station.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.station.write_file("PROGS/BASE.CNC", FLANGE)
        self.station.start()

    def tearDown(self):
        self.station.stop()

    def test_commands_reach_the_control(self):
        s = self.station
        s.scan("%START%")
        self.assertTrue(s.wait_journal(lambda lines: "StartList" in lines, 10))

    def test_a_set_of_three_labels_gives_one_line_and_one_ack(self):
        s = self.station
        for label in ("%13BASE M1 %", "%23600 400 18 %", "%331 2 3 4%"):
            s.scan(label)
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("AddLine") for l in lines), 10))
        self.assertEqual(s.read_answers(2.5), b"ACK\r")
        lines = s.journal_calls("AddLine")
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith("AddLine #161=BASE.CNC;#162=FLANGE PLATE;#164=1;#165=1;#281=;#171=8;"),
                        lines[0])
        self.assertIn("#168=600;#169=400;#170=18;", lines[0])

    def test_field_code_and_name_in_one_burst_give_one_line_in_that_field(self):
        s = self.station
        s.scan("%N%FLANGE")
        self.assertTrue(s.wait_journal(lambda lines: len([l for l in lines if l.startswith("AddLine")]) == 1, 10))
        line = s.journal_calls("AddLine")[0]
        self.assertIn("#161=FLANGE.CNC;", line)
        self.assertIn("#171=1;#284=0;", line)
        self.assertIn("#168=600;#169=400;#170=18;", line)

    def test_quoted_command_fixes_field_n_then_reads_the_label(self):
        s = self.station
        s.scan("'P1 X!Y$")
        self.assertTrue(s.wait_journal(lambda lines: any(l.startswith("AddLine") for l in lines), 10))
        self.assertEqual(added_programs(s), ["P1 X Y.CNC"])
        self.assertIn("#171=1;", s.journal_calls("AddLine")[0])

    def test_two_labels_in_one_burst_are_read_one_after_the_other(self):
        s = self.station
        s.scan("A1%B2%")
        s.wait_stdout(lambda line: line == "Barcode Formating Error.  B2%", 10)
        readings = [line for line in s.stdout_lines if line.startswith(("Reading", "Barcode Formating"))]
        self.assertEqual(readings, ["Reading Barcode-Label.A1%B2%", "Barcode Formating Error.  A1%",
                                    "Reading Barcode-Label.B2%", "Barcode Formating Error.  B2%"])

    def test_collecting_csv_file_gets_one_block_per_program(self):
        s = self.station
        s.write_file("CSV/FLANGE.CSV", "ORDER;QTY\r\n4711;2\r\n")
        s.scan("FLANGE")
        self.assertEqual(s.read_answers(3), b"ACK\r")
        with open(s.path("OUT", "Quorlan.csv"), newline="") as f:
            self.assertEqual(f.read(), "ORDER;QTY\r\n4711;2\r\n")
        self.assertFalse(os.path.exists(s.path("CSV", "FLANGE.CSV")))

    def test_scanner_emulator_prints_the_stations_answer(self):
        s = self.station
        os.close(s.scanner)  # the emulator takes the scanner's end of the line
        s.scanner = os.open(os.devnull, os.O_RDONLY)
        tool = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")
        result = subprocess.run([tool, "--device", s.scanner_end, "--wait", "2500", "FLANGE"], capture_output=True,
                                text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(), ["scanned: FLANGE", "station: ACK"])
        self.assertEqual(added_programs(s), ["FLANGE.CNC"])

    def test_thirty_names_faster_than_the_hand_over_are_thirty_lines_in_order(self):
        s = self.station
        names = [f"P{n:02d}" for n in range(30)]
        for name in names:
            s.scan(name, quiet_ticks=3)
        expected = [name + ".CNC" for name in names]
        s.wait_journal(lambda lines: len([l for l in lines if l.startswith("AddLine")]) >= 30, 90)
        self.assertEqual(added_programs(s), expected)
        answers = s.read_answers(3)
        self.assertEqual(answers, b"ACK\r" * 30)


if __name__ == "__main__":
    unittest.main()
