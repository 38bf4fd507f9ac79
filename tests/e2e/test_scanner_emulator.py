"""The scanner emulator on its own, against a serial line whose station end the test plays: which
scans wait for an ACK, what it prints, and the exit status a script reads."""

import os
import select
import shutil
import subprocess
import tempfile
import threading
import time
import unittest

TOOL = os.environ.get("QUORLAN_SCAN", "build/tools/quorlan-scan")


class Line:
    """A socat pseudo-terminal pair: the emulator writes to `scanner`, the test reads `station`."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="quorlan-scan-")
        self.scanner = os.path.join(self.root, "scanner")
        station = os.path.join(self.root, "station")
        self.socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={station}", f"pty,raw,echo=0,link={self.scanner}"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 5
        while not (os.path.exists(station) and os.path.exists(self.scanner)) and time.time() < deadline:
            time.sleep(0.01)
        self.station = os.open(station, os.O_RDWR | os.O_NOCTTY)

    def answer_each_scan(self, reply, delay):
        """Replies to every burst that arrives, after a delay, as the station would."""
        def serve():
            while True:
                try:
                    if not os.read(self.station, 4096):
                        return
                    time.sleep(delay)
                    os.write(self.station, reply)
                except OSError:
                    return
        threading.Thread(target=serve, daemon=True).start()

    def close(self):
        os.close(self.station)
        self.socat.terminate()
        self.socat.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def read_burst(fd, quiet=0.3):
    """What arrives on the line until it has been quiet for a while."""
    received = b""
    while select.select([fd], [], [], quiet)[0]:
        received += os.read(fd, 4096)
    return received


def scan(line, *args):
    return subprocess.run([TOOL, "--device", line.scanner, "--gap", "50", "--wait", "300", *args],
                          capture_output=True, text=True, timeout=30)


class ScannerEmulatorTest(unittest.TestCase):
    def setUp(self):
        self.line = Line()

    def tearDown(self):
        self.line.close()

    def test_unanswered_scans_fail_only_where_an_ack_is_expected(self):
        cases = [
            # arguments, scans that must report "no answer"
            (["FLANGE"], 1),
            (["%START%"], 0),
            (["%N%"], 0),
            (["%01JOB1"], 0),
            (["%12PART7 N %"], 0),  # the first of two parts
            (["%13BASE M1 %", "%23600 400 18 %", "%331 2 3 4%"], 1),  # only the last completes the set
            (["%19PART7 N %"], 1),  # a repeated one-part set is complete at once
            (["%N%FLANGE"], 1),  # a field code and a name in one burst
            (["--expect", "none", "FLANGE"], 0),
            (["--expect", "all", "%START%", "%END%"], 2),
            (["--hex", "46 4C 41 4E 47 45"], 1),
        ]
        for args, unanswered in cases:
            with self.subTest(args=args):
                result = scan(self.line, *args)
                self.assertEqual(result.stdout.count("no answer"), unanswered, result.stdout)
                self.assertEqual(result.returncode, 1 if unanswered else 0, result.stderr)

    def test_an_answer_left_from_before_is_not_taken_for_this_scan(self):
        os.write(self.line.station, b"ACK\r")
        time.sleep(0.2)
        result = scan(self.line, "FLANGE")
        self.assertEqual(result.stdout.splitlines(), ["scanned: FLANGE", "no answer"])
        self.assertEqual(result.returncode, 1)

    def test_each_answered_scan_prints_its_ack(self):
        self.line.answer_each_scan(b"ACK\r", 0.05)
        result = scan(self.line, "FLANGE", "BASE")
        self.assertEqual(result.stdout.splitlines(),
                         ["scanned: FLANGE", "station: ACK", "scanned: BASE", "station: ACK"])
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_help_and_usage_errors(self):
        help_run = subprocess.run([TOOL, "--help"], capture_output=True, text=True, timeout=10)
        self.assertEqual(help_run.returncode, 0)
        for option in ("--device PATH", "--baud N", "--gap MS", "--wait MS", "--expect WHICH", "--raw", "--hex"):
            self.assertIn(option, help_run.stdout)
        for args in (["--bogus", "FLANGE"], ["--expect", "some", "FLANGE"], ["--wait"], ["--baud", "1234", "X"],
                     []):
            with self.subTest(args=args):
                result = subprocess.run([TOOL, "--device", self.line.scanner, *args], capture_output=True,
                                        text=True, timeout=10)
                self.assertEqual(result.returncode, 2)
                self.assertIn("usage: quorlan-scan", result.stderr)

    def test_text_goes_out_in_the_stations_code_page_and_text_that_is_not_utf8_is_refused(self):
        # The euro sign, a letter of the code page, one of its five undefined bytes, and a
        # character it cannot hold.
        result = scan(self.line, "--expect", "none", "\u20ac\u00f1\u0081\u4e2d")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read_burst(self.line.station), b"\x80\xf1\x81?")
        for text in (b"\xf1", b"A\xc3(", b"\xc0\xaf", b"\xed\xa0\x80"):
            with self.subTest(text=text):
                result = subprocess.run([TOOL, "--device", self.line.scanner, text], capture_output=True, timeout=10)
                self.assertEqual(result.returncode, 2)
                self.assertIn(b"not UTF-8 text", result.stderr)

    def test_a_missing_device_is_its_own_failure(self):
        absent = os.path.join(self.line.root, "absent")
        result = subprocess.run([TOOL, "--device", absent, "FLANGE"], capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, 3)
        self.assertIn("cannot open", result.stderr)


def blank_pdf(path, pages):
    """A PDF of blank A4 pages."""
    objects = ["<< /Type /Catalog /Pages 2 0 R >>",
               "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join(f"{3 + i} 0 R" for i in range(pages)), pages)]
    objects += ["<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"] * pages
    data = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(data))
        data += f"{number} 0 obj\n{body}\nendobj\n".encode()
    xref = len(data)
    data += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
    data += b"".join(f"{offset:010d} 00000 n \n".encode() for offset in offsets)
    data += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
    with open(path, "wb") as f:
        f.write(data)
    return path


class PdfImageTest(unittest.TestCase):
    """--image reads a PDF page by page: its memory does not grow with the pages, the pages are
    bounded, and a renderer that fails or is stopped is named with the reason."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="quorlan-scan-pdf-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def read_images(self, *files, path=None, timeout=120):
        """The exit status, what the emulator said on standard error and its peak resident memory
        in MB (its renderers' included)."""
        env = dict(os.environ)
        if "ASAN_OPTIONS" in env:
            # The address sanitizer keeps freed pages in quarantine (256 MB by default), which would
            # count here as memory the pages never freed.
            env["ASAN_OPTIONS"] += ":quarantine_size_mb=8"
        if path is not None:
            env["PATH"] = path + os.pathsep + env["PATH"]
        with open(os.path.join(self.root, "err"), "w+") as err:
            process = subprocess.Popen([TOOL, "--device", os.path.join(self.root, "no-line"), "--image", *files],
                                       stdout=subprocess.DEVNULL, stderr=err, env=env)
            deadline = time.time() + timeout
            while True:
                pid, status, usage = os.wait4(process.pid, os.WNOHANG)
                if pid:
                    break
                if time.time() > deadline:
                    process.kill()
                    process.wait()
                    self.fail(f"quorlan-scan still ran after {timeout} s")
                time.sleep(0.05)
            process.returncode = os.waitstatus_to_exitcode(status)
            err.seek(0)
            return process.returncode, err.read(), usage.ru_maxrss / 1024

    def test_a_long_pdf_is_read_page_by_page_in_bounded_memory(self):
        pdf = blank_pdf(os.path.join(self.root, "blank.pdf"), 16)
        code, said, megabytes = self.read_images(pdf)
        self.assertEqual(code, 3, said)
        self.assertIn(f"no barcode found in {pdf}", said)
        self.assertLess(megabytes, 250, "16 pages at 300 dpi, all in memory at once, take some 550 MB")

    def test_a_pdf_of_more_pages_than_are_read_is_refused_before_rendering(self):
        pdf = blank_pdf(os.path.join(self.root, "long.pdf"), 201)
        code, said, _ = self.read_images(pdf, timeout=30)
        self.assertEqual(code, 3, said)
        self.assertIn(f"{pdf} has 201 pages; at most 200 pages of a PDF are read", said)

    def test_a_renderer_that_is_killed_or_stopped_is_named_with_the_reason(self):
        pdf = blank_pdf(os.path.join(self.root, "one.pdf"), 1)
        fake = os.path.join(self.root, "bin")
        os.makedirs(fake)
        for signal, reason in (("KILL", "it was ended by signal 9 (Killed)"),
                               ("STOP", "it was stopped (by a signal such as SIGSTOP) and did not go on")):
            with open(os.path.join(fake, "pdftoppm"), "w") as script:
                script.write(f"#!/bin/sh\nkill -{signal} $$\n")
            os.chmod(os.path.join(fake, "pdftoppm"), 0o755)
            code, said, _ = self.read_images(pdf, path=fake, timeout=60)
            self.assertEqual(code, 3, said)
            self.assertIn(f"cannot render page 1 of {pdf}: pdftoppm failed: {reason}", said)


if __name__ == "__main__":
    unittest.main()
