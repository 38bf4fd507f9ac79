"""Labels printed by quorlan-label, read from the page by a real decoder in quorlan-scan --image, and
scanned into the real station: what reaches the control's list is what the job asked for."""

import os
import subprocess
import tempfile
import unicodedata
import unittest

from station import Station

LABEL = os.environ.get("QUORLAN_LABEL", "build/tools/quorlan-label")
SCAN = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")

# The first line after start-up: #282 and #223 are still empty.
BASE_LINE = ("#161=BASE.CNC;#162=;#164=1;#165=1;#281=;#171=8;#284=1;#285=;#280=;#168=600;#169=400;#170=18;"
             "#282=;#283=;#223=;#277=;#278=;#279=;")


PART7_LINE = ("#161=PART7.CNC;#162=;#164=1;#165=1;#281=;#171=7;#284=0;#285=;#280=;#168=600;#169=400;#170=18;"
              "#282=;#283=;#223=;#277=;#278=;#279=;")


def program(size):
    """G-code as offices write it, with a diameter sign and degrees in the station's code page and
    backslashes, ending with a line end as editors leave it."""
    text = b"G71 X600 Y400 Z18\r\n(SIDE PANEL \xd8 20 \xb0)\r\n"
    n = 3
    while len(text) < size:
        text += b"N%d G01 X%d.5 Y%d Z-2 F1200 \\\\ ; %d\r\n" % (n, n * 7 % 600, n * 13 % 400, n * 31 % 97)
        n += 1
    return text


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
        """The lines the station queued from the labels in the images, what the emulator printed, and the
        program files the station saved."""
        with Station() as station:
            station.start()
            result = subprocess.run([SCAN, "--device", station.scanner_end, "--gap", "600", "--wait", "8000",
                                     "--image", *images], capture_output=True, text=True, timeout=120)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            station.wait_journal(lambda lines: any(line.startswith("AddLine") for line in lines), 10)
            saved = {}
            for name in os.listdir(station.path("PROGS")):
                if os.path.isfile(station.path("PROGS", name)):
                    with open(station.path("PROGS", name), "rb") as f:
                        saved[name] = f.read()
            return station.journal_calls("AddLine"), result.stdout, saved

    def test_a_job_sheet_of_part_labels_queues_its_line(self):
        job = self.file("job.csv", "\ufeffprogram;field code;x;y;z;a;comment\r\nBASE;M1;600;400;18;5;base plate\r\n"
                        .encode("utf-8"))
        made = label("--job", job, "--output", self.file("job.pdf"))
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertIn("3 labels on 1 page, every symbol read back", made.stdout)
        lines, printed, _ = self.scan_into_station(self.file("job.pdf"))
        self.assertEqual(lines, ["AddLine " + BASE_LINE])
        self.assertIn("scanned: %13BASE M1  %", printed)

    def test_single_png_labels_read_the_same(self):
        made = label("--program", "BASE", "--field", "M1", "--x", "600", "--y", "400", "--z", "18",
                     "--label-size", "62x29", "--output", self.file("base.png"))
        self.assertEqual(made.returncode, 0, made.stderr)
        lines, _, _ = self.scan_into_station(self.file("base.png"), self.file("base-2.png"))
        self.assertEqual(lines, ["AddLine " + BASE_LINE])

    def two_d_labels(self, size, *options):
        """A program file of about size bytes and a 2D label of it, as the office prints them."""
        os.makedirs(self.file("progs"))
        text = program(size)
        self.file(os.path.join("progs", "PART7.CNC"), text)
        job = self.file("job.csv", b"program,field,x,y,z,a,comment\nPART7,N1,600,400,18,5,side panel\n")
        made = label("--job", job, "--form", "2d", "--program-folder", self.file("progs"), *options)
        self.assertEqual(made.returncode, 0, made.stderr)
        return text, made.stdout

    def test_a_compressed_2d_label_brings_its_program_byte_for_byte(self):
        text, printed = self.two_d_labels(8000, "--compress", "--output", self.file("part7.png"))
        self.assertIn("1 label on 1 page, every symbol read back", printed)
        lines, _, saved = self.scan_into_station(self.file("part7.png"))
        self.assertEqual(saved, {"PART7.CNC": text})
        self.assertEqual(lines, ["AddLine " + PART7_LINE])

    def test_a_program_split_over_three_symbols_is_merged_into_one_scan(self):
        text, printed = self.two_d_labels(6000, "--label-size", "105x74", "--output", self.file("part7.png"))
        self.assertIn("3 labels on 3 pages", printed)
        # A 2D imager puts the parts in order whatever order they are read in.
        lines, _, saved = self.scan_into_station(self.file("part7-3.png"), self.file("part7.png"),
                                                 self.file("part7-2.png"))
        self.assertEqual(saved, {"PART7.CNC": text})
        self.assertEqual(lines, ["AddLine " + PART7_LINE])

    def test_program_files_no_label_can_carry_are_refused_and_nothing_is_written(self):
        progs = self.file("progs")
        os.makedirs(progs)
        for name, data in (("EMPTY.CNC", b""), ("BINARY.CNC", b"G71 X600\r\n\0N1 G0\r\n"),
                           ("HUGE.CNC", program(1_000_000))):
            self.file(os.path.join("progs", name), data)
        for args, message in [
            (["--program", "EMPTY"], "--program: %s/EMPTY.CNC is empty" % progs),
            (["--program", "BINARY"], "holds a NUL byte (at byte 11)"),
            (["--program", "HUGE"], "bytes are too many: 16 qr symbols that fit the label hold at most"),
            (["--program", "HUGE", "--compress"], "more than the 32767 a compressed scan can hold"),
            (["--program", "MISSING"], "%s/MISSING.CNC does not exist" % progs),
            (["--job", self.file("job.csv", b"program,x\nHUGE,1\nEMPTY,2\n")],
             "row 3, column program: %s/EMPTY.CNC is empty" % progs),
        ]:
            with self.subTest(args=args):
                made = label(*args, "--form", "2d", "--program-folder", progs, "--output", self.file("out.pdf"))
                self.assertEqual(made.returncode, 1, made.stdout)
                self.assertIn(message, made.stderr)
                self.assertIn("nothing was written", made.stderr)
                self.assertFalse(os.path.exists(self.file("out.pdf")))
        made = label("--program", "EMPTY", "--symbology", "aztec", "--form", "2d", "--output", self.file("out.pdf"))
        self.assertEqual(made.returncode, 2)
        self.assertIn("--symbology takes qr, datamatrix or pdf417, not \"aztec\"", made.stderr)

    def test_the_command_sheet_holds_every_command_and_field_code(self):
        made = label("--command-sheet", "--output", self.file("sheet.pdf"))
        self.assertEqual(made.returncode, 0, made.stderr)
        text = subprocess.run(["pdftotext", "-layout", self.file("sheet.pdf"), "-"], check=True, capture_output=True,
                              text=True).stdout
        text = unicodedata.normalize("NFKC", text)  # the page's ligatures as letters
        for words in ("Quorlan: commands and field codes", "Commands", "What a field code means on the machine table",
                      "right end, mirrored", "#171=36"):
            self.assertIn(words, text)
        subprocess.run(["pdftoppm", "-r", "150", "-png", self.file("sheet.pdf"), self.file("page")], check=True)
        pages = sorted(name for name in os.listdir(self.dir) if name.startswith("page"))
        self.assertEqual(len(pages), 1)
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
