"""2D programs, plain and compressed, through the real station: the program is saved byte for byte
in the program folder, the line reaches the control, and the scanner gets no ACK."""

import os
import subprocess
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from station import Station  # noqa: E402

SCAN_TOOL = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")
HEADER = "PART7^UN1^X600^Y400^Z18^A5"


def program(lines):
    text = "G71 X600 Y400 Z18\r\n(PART SEVEN)\r\n"
    for n in range(3, lines + 1):
        text += f"N{n} G01 X{n * 7 % 600}.5 Y{n * 13 % 400} Z-2 F1200 \\\\ ; {n * 31 % 97}\r\n"
    return text


def compressed(text):
    data = zlib.compress(text.encode("cp1252"), 9).replace(b"\\", b"\\\\")
    return b"\xf1" + b"00" + b"%05d" % len(text) + b"000" + data


class TwoDTest(unittest.TestCase):
    def setUp(self):
        self.station = Station(args=["NOAPP"])
        os.makedirs(self.station.path("Koridan", "Bin"))
        self.station.start()

    def tearDown(self):
        self.station.stop()

    def send(self, *arguments):
        s = self.station
        result = subprocess.run([SCAN_TOOL, "--device", s.scanner_end, "--gap", "1500", *arguments],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return result.stdout

    def saved(self):
        with open(self.station.path("PROGS", "PART7"), "rb") as f:
            return f.read()

    def lines(self, count, seconds=15):
        s = self.station
        s.wait_journal(lambda lines: len([l for l in lines if l.startswith("AddLine")]) >= count, seconds)
        return s.journal_calls("AddLine")

    def check_line(self, line):
        self.assertTrue(line.startswith("AddLine #161=PART7;"), line)
        self.assertIn(";#171=7;#284=0;#285=;#280=;#168=600;#169=400;#170=18;", line)

    def test_plain_and_compressed_programs_are_saved_and_queued_alike(self):
        s = self.station
        source = os.path.join(s.root, "PART7.CNC")
        text = program(40)
        with open(source, "w", newline="", encoding="cp1252") as f:
            f.write(text)
        output = self.send(f"--2d={HEADER}={source}")
        self.assertNotIn("station: ACK", output)
        self.assertEqual(self.saved(), text.encode("cp1252"))
        first = self.lines(1)
        self.assertEqual(len(first), 1)
        self.check_line(first[0])

        os.remove(s.path("PROGS", "PART7"))
        self.send("--compress", "--prefix", f"--2d={HEADER}={source}")
        self.assertEqual(self.saved(), text.encode("cp1252"))
        both = self.lines(2)
        # The first line after start-up has #282 and #223 empty, later ones a blank: the rest is the same.
        self.assertEqual(both[1].split(";#282=")[0], first[0].split(";#282=")[0])
        self.assertEqual(s.read_answers(0.5), b"", "2D scans get no ACK")

    def test_program_beyond_the_memory_route_goes_through_the_temporary_files(self):
        s = self.station
        text = program(600)
        self.assertGreater(len(text), 23072)
        s.scan(compressed(HEADER + "!" + text.rstrip("\r\n")), quiet_ticks=6)
        self.check_line(self.lines(1)[0])
        self.assertEqual(self.saved(), text.encode("cp1252"))
        self.assertEqual(os.listdir(s.path("Koridan", "Bin")), [], "the temporary files are removed when done")
        os.rmdir(s.path("Koridan", "Bin"))
        s.scan(compressed(HEADER + "!" + text.rstrip("\r\n")), quiet_ticks=6)
        s.wait_stdout(lambda line: line.startswith("Compressed scan not used: the temporary file "
                                                   "C:\\Koridan\\Bin\\Temp.Cmp cannot be written"), 10)

    def test_compressed_scan_followed_by_the_scanners_line_end_is_saved_and_queued(self):
        s = self.station
        text = program(40)
        for count, line_end in enumerate((b"\r", b"\r\n", b"\n"), start=1):
            if os.path.exists(s.path("PROGS", "PART7")):
                os.remove(s.path("PROGS", "PART7"))
            s.scan(compressed(HEADER + "!" + text.rstrip("\r\n")) + line_end, quiet_ticks=4)
            lines = self.lines(count)
            self.assertEqual(len(lines), count, f"line end {line_end!r}: {s.stdout_lines[-3:]}")
            self.check_line(lines[-1])
            self.assertEqual(self.saved(), text.encode("cp1252"))

    def test_unsafe_names_and_corrupt_payloads_write_and_queue_nothing(self):
        s = self.station
        s.write_file("PROGS/PART7", "KEEP ME\r\n")
        payload = compressed(HEADER + "!" + program(40))
        for scan, status in (
                (b"..\\x^X1!" + program(5).encode(), "Program name not accepted (it leads out of the program folder): ..\\x"),
                (b"/tmp/x^X1!" + program(5).encode(), "Program name not accepted (it leads out of the program folder): /tmp/x"),
                (payload[:-40], "Compressed scan not used: it could not be expanded: the data is corrupt, incomplete "
                                "or longer than it claims."),
                (payload[:3] + b"05000" + payload[8:], "Compressed scan not used: it claims 5000 characters but "
                                                        f"expands to {len(HEADER + '!' + program(40))}.")):
            s.scan(scan, quiet_ticks=4)
            s.wait_stdout(lambda line, status=status: line == status, 10)
        self.assertFalse(os.path.exists("/tmp/x"))
        self.assertFalse(os.path.exists(os.path.join(s.drive, "x")))
        self.assertEqual(self.saved(), b"KEEP ME\r\n")
        self.assertEqual(s.journal_calls("AddLine"), [])


class KeepExistingProgramsTest(unittest.TestCase):
    def test_with_overwrite_clear_an_existing_program_stays_and_the_line_is_still_added(self):
        with Station(args=["NOAPP"], extra_settings="Overwrite= 0\r\n") as s:
            s.write_file("PROGS/PART7", "OLD PROGRAM\r\n")
            s.start()
            s.scan(HEADER + "!" + program(10), quiet_ticks=4)
            s.wait_journal(lambda lines: any(l.startswith("AddLine") for l in lines), 10)
            with open(s.path("PROGS", "PART7"), "rb") as f:
                self.assertEqual(f.read(), b"OLD PROGRAM\r\n")
            self.assertTrue(s.journal_calls("AddLine")[0].startswith("AddLine #161=PART7;"))


if __name__ == "__main__":
    unittest.main()
