"""Labels printed by quorlan-label, read from the page by a real decoder in quorlan-scan --image, and
scanned into the real station: what reaches the control's list is what the job asked for."""

import os
import subprocess
import tempfile
import unittest

from station import Station

LABEL = os.environ.get("QUORLAN_LABEL", "build/tools/quorlan-label")
SCAN = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")

# The first line after start-up: #282 and #223 are still empty.
BASE_LINE = ("#161=BASE.CNC;#162=;#164=1;#165=1;#281=;#171=8;#284=1;#285=;#280=;#168=600;#169=400;#170=18;"
             "#282=;#283=;#223=;#277=;#278=;#279=;")


def label(*args):
    return subprocess.run([LABEL, *args], capture_output=True, text=True, timeout=60)


class LabelMakerTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="quorlan-labels-")
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def file(self, name, data=None):
        path = os.path.join(self.dir, name)
        if data is not None:
            with open(path, "wb") as f:
                f.write(data)
        return path

    def scan_into_station(self, *images):
        with Station() as station:
            station.start()
            result = subprocess.run([SCAN, "--device", station.scanner_end, "--gap", "600", "--wait", "8000",
                                     "--image", *images], capture_output=True, text=True, timeout=120)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            station.wait_journal(lambda lines: any(line.startswith("AddLine") for line in lines), 10)
            return station.journal_calls("AddLine"), result.stdout

    def test_a_job_sheet_of_part_labels_queues_its_line(self):
        job = self.file("job.csv", "\ufeffprogram;field code;x;y;z;a;comment\r\nBASE;M1;600;400;18;5;base plate\r\n"
                        .encode("utf-8"))
        made = label("--job", job, "--output", self.file("job.pdf"))
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertIn("3 labels on 1 page, every symbol read back", made.stdout)
        lines, printed = self.scan_into_station(self.file("job.pdf"))
        self.assertEqual(lines, ["AddLine " + BASE_LINE])
        self.assertIn("scanned: %13BASE M1  %", printed)

    def test_single_png_labels_read_the_same(self):
        made = label("--program", "BASE", "--field", "M1", "--x", "600", "--y", "400", "--z", "18",
                     "--label-size", "62x29", "--output", self.file("base.png"))
        self.assertEqual(made.returncode, 0, made.stderr)
        lines, _ = self.scan_into_station(self.file("base.png"), self.file("base-2.png"))
        self.assertEqual(lines, ["AddLine " + BASE_LINE])

    def test_the_command_sheet_holds_every_command_and_field_code(self):
        made = label("--command-sheet", "--output", self.file("sheet.pdf"))
        self.assertEqual(made.returncode, 0, made.stderr)
        subprocess.run(["pdftoppm", "-r", "150", "-png", self.file("sheet.pdf"), self.file("page")], check=True)
        pages = sorted(name for name in os.listdir(self.dir) if name.startswith("page"))
        self.assertEqual(len(pages), 2)
        with Station() as station:  # the scanner emulator needs a line to write to, nothing more
            station.start()
            result = subprocess.run([SCAN, "--device", station.scanner_end, "--expect", "none", "--gap", "0",
                                     "--image", *[self.file(page) for page in pages]],
                                    capture_output=True, text=True, timeout=120)
        scanned = [line[len("scanned: "):] for line in result.stdout.splitlines() if line.startswith("scanned: ")]
        self.assertEqual(scanned[:5], ["%START%", "%STOP%", "%END%", "%CLEAR%", "%SETPOINT%"])
        codes = [letter + suffix for suffix in ("", "1", "/", "1/", "/0", "/1") for letter in "NMSATR"]
        self.assertEqual(scanned[5:], ["%" + code + "%" for code in codes])

    def test_bad_input_names_row_and_column_and_writes_nothing(self):
        cases = [
            (b"program,field,x\nBASE,N,600\nBA SE,N,1\n", "row 3, column program: it holds a blank"),
            (b"program,field,x\nBASE,X9,600\n", "row 2, column field: \"X9\" is not one of the 36"),
            (b"program,field,x\nBASE,N\n", "row 2, column x: missing"),
            (b"program,field,x\nBASE,N,1,2\n", "row 2, column 4: extra"),
            (b"program,field,x\nBASE,N,6OO\n", "row 2, column x: \"6OO\" is not a number"),
            (b"program,field\n\"BASE,N\n", "the quote opened here is never closed"),
            (b"program,colour\nBASE,red\n", "row 1, column 2: \"colour\" is no column"),
            (b"program\nBA\x01SE\n", "row 2, column program: it holds the control character"),
            ("program\nB\u0100SE\n".encode("utf-8"), "is no character of the station's code page"),
        ]
        for data, message in cases:
            with self.subTest(message=message):
                output = self.file("out.pdf")
                made = label("--job", self.file("job.csv", data), "--output", output)
                self.assertEqual(made.returncode, 1, made.stdout)
                self.assertIn(message, made.stderr)
                self.assertFalse(os.path.exists(output))
        for args, status, message in [
            (["--program", "BASE", "--output", "/nonexistent/out.pdf"], 3, "does not exist"),
            (["--program", "BASE", "--output", "out.txt"], 2, "must end in .pdf, .png or .svg"),
            (["--program", "B" * 70, "--output", self.file("x.pdf")], 1, "too many for a Code 128 label"),
            (["--program", "B" * 40, "--label-size", "30x20", "--output", self.file("x.png")], 1, "too small"),
        ]:
            with self.subTest(args=args):
                made = label(*args)
                self.assertEqual(made.returncode, status, made.stdout)
                self.assertIn(message, made.stderr)
        self.assertEqual(sorted(name for name in os.listdir(self.dir) if not name.endswith(".csv")), [])


if __name__ == "__main__":
    unittest.main()
