"""The production history through the real station: 200 mixed scans into a station driving
cnc-sim, killed with SIGKILL at random moments and started again, whose history must hold every
line the control's journal shows and every "ACK" the scanner got, none lost or doubled; each fault
of the history file, through which the station scans on and after which the history resumes; the
double-scan guard; and the export from the command line while a station records."""

import csv
import os
import random
import signal
import sqlite3
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import EXE, SETTINGS, Control, Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
PLATE = "G71 X300 Y200 Z10\r\n(PLATE)\r\nM30\r\n"
SIDE = "G71 X800 Y300 Z19\r\n(SIDE)\r\nN3 G01 X10 Y10\r\nM30"
LABEL_FORMS = ("label", "set-part", "field-code", "manual", "command")


def history_rows(path):
    with sqlite3.connect(path) as db:
        return db.execute("SELECT id, time, kind, scan, line, outcome, reason FROM events ORDER BY id").fetchall()


def mixed_scans(rng, count):
    """Plain labels, sets of two parts, 2D programs, commands and refused labels."""
    scans = []
    while len(scans) < count:
        roll = rng.random()
        if roll < 0.45:
            scans.append(rng.choice(["FLANGE", "PLATE"]))
        elif roll < 0.65:
            scans += ["%12PLATE.CNC", "%22300 200 10"]
        elif roll < 0.8:
            scans.append(f"SIDE^UN1^X800^Y300^Z19!{SIDE}")
        elif roll < 0.9:
            scans.append(rng.choice(["%SETPOINT%", "%STOP%"]))
        else:
            scans.append("FLA;NGE")
    return scans[:count]


class KilledStationTest(unittest.TestCase):
    def test_history_matches_the_journal_and_the_acks_through_kills_at_random_moments(self):
        rng = random.Random(int(os.environ.get("QUORLAN_HISTORY_SEED", "21")))
        plan = mixed_scans(rng, 200)
        with Station(poll=100) as s:
            s.cnc_server = os.path.join(s.root, "cnc.sock")
            s.write_file("PROGS/FLANGE.CNC", FLANGE)
            s.write_file("PROGS/PLATE.CNC", PLATE)
            Control(s, s.cnc_server).start()
            history = os.path.join(s.root, "data", "quorlan", "history.sqlite")
            sessions = []  # the journal's length when each station started
            kills = 0
            sent = 0
            while True:
                sessions.append(len(s.journal_lines()))
                s.start()
                s.wait_stdout(lambda line: line == "Ready.", 20)
                batch = plan[sent:sent + rng.randint(8, 30)]
                for scan in batch:
                    s.scan(scan + "\r", quiet_ticks=3)
                    s.read_answers()
                sent += len(batch)
                if sent >= len(plan):
                    break
                # Somewhere in the scans still queued: framing, handing over, recording, answering.
                time.sleep(rng.uniform(0.0, 2.0))
                s.process.send_signal(signal.SIGKILL)
                s.process.wait()
                kills += 1
                s.read_answers(0.2)
            # The last scans are handled, then the station is closed as an operator closes it.
            wait_until_quiet(s)
            s.read_answers(1.0)
            s.stop_station()
            journal = s.journal_lines()
            acks = s.answers.count(b"ACK\r")
            rows = history_rows(history)

        sessions.append(len(journal))
        queued = [row for row in rows if row[5] == "queued"]
        self.assertGreaterEqual(kills, 5)
        # Per session, the lines recorded as queued are the lines the control took, in order; a
        # kill may cost the last one, whose row was being written.
        row_times = [row[1] for row in queued]
        recorded = [row[4] for row in queued]
        position = 0
        lost = 0
        for start, end in zip(sessions, sessions[1:]):
            taken = [line[len("AddLine "):] for line in journal[start:end] if line.startswith("AddLine ")]
            mine = recorded[position:position + len(taken)]
            if mine != taken:
                self.assertEqual(mine[:len(taken) - 1], taken[:-1], "rows and journal differ in a session")
                lost += 1
                position += len(taken) - 1
            else:
                position += len(taken)
        self.assertEqual(position, len(recorded), "rows the control never took")
        self.assertLessEqual(lost, kills)
        self.assertEqual(row_times, sorted(row_times))
        self.assertEqual(len({row[0] for row in rows}), len(rows))
        # Each ACK has its row, written before it; a kill may fall between the two.
        label_rows = len([row for row in queued if row[2] in LABEL_FORMS])
        self.assertLessEqual(acks, label_rows)
        self.assertGreaterEqual(acks, label_rows - kills)
        refused = [row for row in rows if row[5] == "refused"]
        # (A scan cut in two by a kill may be refused too: the rest of it reaches the next station.)
        semicolons = [row for row in rows if row[3] == "FLA;NGE"]
        self.assertTrue(semicolons)
        self.assertTrue(all(row[5] == "refused" and "Label not accepted" in row[6] for row in semicolons), semicolons)
        print(f"history: {len(plan)} scans, {kills} kills, {len(journal)} journal lines, "
              f"{len(taken_lines(journal))} lines taken, {len(rows)} rows ({len(queued)} queued, {len(refused)} "
              f"refused), {acks} ACKs, {lost} rows lost to a kill")


def wait_until_quiet(station, quiet=3.0, limit=60.0, size=None):
    """Until the journal (or what size measures) has not grown for a while: the station has
    handled what it was sent."""
    size = size or (lambda: len(station.journal_lines()))
    deadline = time.time() + limit
    length, since = -1, time.time()
    while time.time() < deadline:
        now = size()
        if now != length:
            length, since = now, time.time()
        elif time.time() - since >= quiet:
            return
        station.read_answers(0.1)
    raise AssertionError("the station never fell quiet")


def taken_lines(journal):
    return [line for line in journal if line.startswith("AddLine ")]


class Immutable:
    """Files and folders nobody may change, root included (root ignores permission bits)."""

    def __init__(self, *paths):
        self.paths = [path for path in paths if os.path.exists(path)]
        self.root = os.geteuid() == 0

    def __enter__(self):
        if self.root:
            if subprocess.run(["chattr", "+i", *self.paths], capture_output=True).returncode != 0:
                raise unittest.SkipTest("this file system cannot make a file immutable for root")
        else:
            for path in self.paths:
                os.chmod(path, 0o555 if os.path.isdir(path) else 0o444)
        return self

    def __exit__(self, *exc):
        if self.root:
            subprocess.run(["chattr", "-i", *self.paths], check=True)
        else:
            for path in self.paths:
                os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)


class HistoryFaultTest(unittest.TestCase):
    """Each fault: one scan recorded, the fault made, two scans that go on without history (the
    fault said once), the fault mended, and a scan after which the history holds them all."""

    def setUp(self):
        self.s = Station(args=["NOAPP"])
        self.folder = os.path.join(self.s.root, "share")
        os.makedirs(self.folder)
        self.file = os.path.join(self.folder, "history.sqlite")
        self.s.write_settings(SETTINGS.format(device=self.s.station_end, poll=self.s.poll) +
                              f"HistoryFile={self.file}\r\n")
        self.s.write_file("PROGS/FLANGE.CNC", FLANGE)

    def tearDown(self):
        self.s.stop()

    def scan_and_ack(self):
        before = len(self.s.journal_calls("AddLine"))
        self.s.scan("FLANGE\r")
        self.assertTrue(self.s.wait_journal(lambda lines: len(taken_lines(lines)) > before, 10))
        self.assertEqual(self.s.acks(1.0), 1)

    def wait_new_line(self, seen, start):
        """Waits for a line that begins so, printed after the first seen lines."""
        ok = Station._wait_for(lambda: any(line.startswith(start) for line in self.s.stdout_lines[seen:]), 20)
        self.assertTrue(ok, self.s.stdout_lines[seen:])

    def said(self, text):
        """The lines saying so; an unattended station shows the status line it starts with again
        when its window opens, which is no second report."""
        lines = [line for index, line in enumerate(self.s.stdout_lines)
                 if text in line and (index == 0 or self.s.stdout_lines[index - 1] != line)]
        return lines

    def run_fault(self, make, mend, why, rows_after=4, found_at_start=False):
        self.s.start()
        self.scan_and_ack()
        if found_at_start:
            self.s.stop_station()
        make()
        if found_at_start:
            seen = len(self.s.stdout_lines)
            self.s.start(wait_ready=False)
            self.wait_new_line(seen, "COM")
        self.scan_and_ack()
        self.scan_and_ack()
        failures = self.said("History is not being recorded: ")
        self.assertEqual(len(failures), 1, self.s.stdout_lines[-8:])
        self.assertIn(why, failures[0])
        self.assertTrue(failures[0].endswith("Scanning goes on."))
        mend()
        self.scan_and_ack()
        self.s.wait_stdout(lambda line: line == "History is being recorded again; the 2 scans made meanwhile are in it.",
                           5)
        self.assertEqual(len(history_rows(self.file)), rows_after)

    def test_folder_gone(self):
        away = self.folder + ".away"
        self.run_fault(lambda: os.rename(self.folder, away), lambda: os.rename(away, self.folder),
                       f"the folder {self.folder} does not exist")

    def test_read_only(self):
        guard = Immutable(self.folder, self.file)
        self.run_fault(guard.__enter__, lambda: guard.__exit__(None, None, None), "is read-only",
                       found_at_start=True)

    def test_locked_by_another_program(self):
        other = sqlite3.connect(self.file, isolation_level=None, timeout=0.1)

        def lock():
            other.execute("BEGIN EXCLUSIVE")
            other.execute("DELETE FROM outbox")

        self.run_fault(lock, lambda: other.execute("ROLLBACK"), "is locked by another program")
        other.close()

    def test_damaged_file(self):
        def damage():
            with open(self.file + ".new", "wb") as f:
                f.write(b"not a database " * 1000)
            os.rename(self.file + ".new", self.file)

        self.run_fault(damage, lambda: os.rename(self.file, self.file + ".damaged"),
                       "is damaged or not a history file", rows_after=3)

    def test_damaged_file_found_at_start(self):
        def damage():
            with open(self.file, "wb") as f:
                f.write(b"not a database " * 1000)

        self.run_fault(damage, lambda: os.rename(self.file, self.file + ".damaged"),
                       "is damaged or not a history file", rows_after=3, found_at_start=True)

    def test_disk_full(self):
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", self.folder],
                          capture_output=True).returncode != 0:
            self.skipTest("no small file system can be mounted here")
        try:
            filler = os.path.join(self.folder, "filler")

            def fill():
                with open(filler, "wb", buffering=0) as f:
                    try:
                        while True:
                            f.write(b"\0" * 4096)
                    except OSError:
                        pass

            self.run_fault(fill, lambda: os.remove(filler), "is full")
        finally:
            self.s.stop_station()
            subprocess.run(["umount", "-l", self.folder], check=False)


class DoubleScanGuardTest(unittest.TestCase):
    def run_guard(self, extra_settings):
        with Station(args=["NOAPP"], extra_settings=extra_settings) as s:
            s.write_file("PROGS/FLANGE.CNC", FLANGE)
            s.start()
            s.scan("FLANGE\r")
            s.scan("FLANGE\r")
            s.acks(2.0)
            two_quick = len(taken_lines(s.journal_lines()))
            time.sleep(3.0)
            s.scan("FLANGE\r")
            s.acks(2.0)
            refusals = [line for line in s.stdout_lines if line.startswith("Double scan: FLANGE.CNC")]
            return two_quick, len(taken_lines(s.journal_lines())), s.answers.count(b"ACK\r"), refusals

    def test_off_two_scans_give_two_lines(self):
        self.assertEqual(self.run_guard(""), (2, 3, 3, []))

    def test_on_the_second_within_its_seconds_is_refused_and_one_after_them_queued(self):
        two_quick, lines, acks, refusals = self.run_guard("DuplicateScanSeconds=3\r\n")
        self.assertEqual((two_quick, lines, acks, len(refusals)), (1, 2, 2, 1))
        self.assertIn("(DuplicateScanSeconds is 3)", refusals[0])


class ExportTest(unittest.TestCase):
    def test_export_from_the_command_line_while_the_station_records(self):
        with Station(args=["NOAPP"]) as s:
            s.write_file("PROGS/FLANGE.CNC", FLANGE)
            s.start()
            for _ in range(3):
                s.scan("FLANGE\r")
            s.scan("FLA;NGE\r")
            s.wait_stdout(lambda line: line.startswith("Label not accepted"), 10)
            s.read_answers(0.5)
            out = os.path.join(s.root, "today.csv")
            today = time.strftime("%Y-%m-%d")
            result = subprocess.run([EXE, "--history-export", "--since", today, "--until", today, out],
                                    env=s.env(), capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("Exported 4 events", result.stdout)
            with open(out, newline="", encoding="utf-8") as f:
                rows = list(csv.DictReader(f))
            self.assertEqual([row["outcome"] for row in rows], ["queued"] * 3 + ["refused"])
            self.assertTrue(rows[0]["line"].startswith("#161=FLANGE.CNC;"))
            self.assertEqual(rows[0]["control"], "built-in")
            s.scan("FLANGE\r")
            self.assertEqual(s.acks(2.0), 1, "the station scans on beside the export")


if __name__ == "__main__":
    unittest.main(verbosity=2)
