#!/usr/bin/env python3
"""Faults together: many labels through a pseudo-terminal into the real station, which drives cnc-sim
through a proxy, while a fault injector, at random with a fixed seed, stops cnc-sim and lets it go on
(for shorter and for longer than the station's two-second bound), kills it and starts it again, and
delays, cuts or garbles what crosses the proxy. The operator does what the station tells: scans a
label again when told so, scans it again at once or waits when its fate is not known yet, and now and
then scans a part twice on purpose.

At the end the control's work list, read from the control itself, must hold exactly what the
station's word says: each label as many times as it was acknowledged or reported as having reached
the list after all since the control last started, and no label that was reported as not queued. No
call the station gave up on may have run after it gave up, and the station must still answer.

    python3 tests/soak/control_faults.py [LABELS] [SEED]      (from the repository, after ./test built it)

With --bridge the station drives quorlan-bridge.exe under Wine ($QUORLAN_BRIDGE, in $WINEPREFIX with
the stand-in for the control's server registered) across TCP and the authenticated link instead;
the bridge is what is stopped, killed and started again, and the stand-in in it is the control.
"""

import collections
import os
import random
import re
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
from control_link import FaultyProxy, read_work_list  # noqa: E402
from station import Control, Station  # noqa: E402
from test_bridge import Bridge, LinkClient  # noqa: E402
from test_control_network import new_key  # noqa: E402

POLL_MS = 100
BOUND = 2.0
VERDICT_WAIT = 25.0  # the longest fault plus the station's next look at the control
LINE_END = ";#162= ;"

ACK = "acknowledged"
REACHED = "reached the list after all"
NOT_QUEUED = "reported not queued"
UNKNOWN = "not known yet"


def program(n):
    return f"L{n:04d}"


class Run:
    def __init__(self, labels, seed, bridge=False):
        self.bridge = bridge
        self.labels = labels
        self.rng = random.Random(seed)
        self.counts = collections.Counter()
        self.faults = collections.Counter()
        self.expected = collections.Counter()  # lines the list must hold since the control last started
        # Stretches of the journal in which a program's call had been given up on and the program was not
        # scanned again: its AddLine must not appear in them. Open ones by program, then closed ones.
        self.given_up = {}
        self.quiet_windows = []

    # The station's word on one program, from what it printed since position `since`.
    def verdicts(self, name, since, until=None):
        found = []
        for line in list(self.station.stdout_lines)[since:until]:
            if f"{name}.CNC" not in line:
                continue
            if "after all" in line:
                found.append(REACHED)
            elif "not known yet" in line:
                found.append(UNKNOWN)
            elif "not queued" in line or "did not reach" in line or "is not in the work list" in line:
                found.append(NOT_QUEUED)
        return found

    def read_at(self, name, since):
        """Where the station's status line says it read this scan, or None while it has not."""
        lines = list(self.station.stdout_lines)
        for i in range(since, len(lines)):
            if lines[i] == f"Reading Barcode-Label.{name}":
                return i
        return None

    def scan(self, name):
        """Scans the label and returns what the station said of it: ACK, or its status verdict.

        Only what the station says after it read this scan counts. A verdict on an earlier scan of
        the label can come first (the station settles an unknown outcome on its own between scans):
        were it taken for this scan's, the next label would be sent while this one still waits in
        the port, and the two would be read as one."""
        since = len(self.station.stdout_lines)
        if name in self.given_up:
            self.quiet_windows.append((name, self.given_up.pop(name), len(self.station.journal_lines())))
        self.station.scan(name, quiet_ticks=0)
        deadline = time.time() + BOUND * 2 + 8
        acked = False
        read = None
        while time.time() < deadline:
            acked = self.station.acks(0.05) > 0 or acked
            if read is None:
                read = self.read_at(name, since)
                if read is None:
                    continue
                if REACHED in self.verdicts(name, since, read):
                    # The earlier scan reached the list after all before this one was read: this
                    # one is a part of its own now.
                    self.counts["reached after all before the scan again was read"] += 1
                    self.expected[name] += 1
            if acked:
                time.sleep(0.1)  # the status line that came before the ACK has been read by then
                return (REACHED if REACHED in self.verdicts(name, read) else ACK), read
            said = self.verdicts(name, read)
            if said:
                if said[-1] == UNKNOWN:
                    self.given_up.setdefault(name, len(self.station.journal_lines()))
                return said[-1], read
        raise SystemExit(f"control faults: the station said nothing of {name} within {deadline - since:.0f} s\n"
                         f"stdout: {self.station.stdout_lines[-8:]}\nstderr: {self.station.stderr_lines[-5:]}")

    def await_verdict(self, name, since):
        """Waits until the station says what became of a label whose fate was unknown."""
        deadline = time.time() + VERDICT_WAIT
        while time.time() < deadline:
            said = [v for v in self.verdicts(name, since) if v != UNKNOWN]
            if said:
                return said[-1]
            time.sleep(0.05)
        raise SystemExit(f"control faults: the station never said what became of {name}\n"
                         f"stdout: {self.station.stdout_lines[-8:]}")

    def hand_over(self, name):
        """The operator's part for one label: scan it, and again as the station says."""
        for _ in range(6):
            outcome, since = self.scan(name)
            if outcome == UNKNOWN:
                self.counts["answer not known at once"] += 1
                if self.rng.random() < 0.5:
                    self.counts["scanned again while not known"] += 1
                    continue  # the operator does not wait: the station must not double the part
                outcome = self.await_verdict(name, since)
            if outcome == NOT_QUEUED:
                self.counts[NOT_QUEUED] += 1
                self.settle()
                continue
            self.counts[outcome] += 1
            self.expected[name] += 1
            return
        self.counts["given up by the operator"] += 1

    def settle(self):
        """Lets a stopped control go on before the operator scans again."""
        if self.stopped_until:
            time.sleep(max(0.0, self.stopped_until - time.time()))

    def inject(self):
        roll = self.rng.random()
        self.stopped_until = 0.0
        if roll < 0.05:
            seconds = self.rng.uniform(0.3, 1.5) if self.rng.random() < 0.5 else self.rng.uniform(2.5, 4.5)
            self.faults["stopped " + ("shorter" if seconds < BOUND else "longer") + " than the bound"] += 1
            self.control.process.send_signal(signal.SIGSTOP)
            self.stopped_until = time.time() + seconds
            return lambda: self.control.process.send_signal(signal.SIGCONT)
        if roll < 0.065:
            self.faults["killed and started again"] += 1
            self.control.kill()
            self.control = self.start_control()
            self.expected.clear()
            return None
        if roll < 0.10:
            delay = self.rng.uniform(0.3, 1.2) if self.rng.random() < 0.5 else self.rng.uniform(2.5, 4.0)
            self.faults["answer delayed " + ("less" if delay < BOUND else "more") + " than the bound"] += 1
            self.proxy.arm("delay", delay)
            return None
        if roll < 0.13:
            fault = self.rng.choice(["garble", "cut-request", "cut-answer"])
            self.faults[fault] += 1
            self.proxy.arm(fault)
        return None

    def run(self):
        started = time.time()
        with Station(poll=POLL_MS) as station:
            self.station = station
            if self.bridge:
                station.key = new_key(station, "control.key")
                self.port = 0  # any free one at first, then the same again
                self.start_control = lambda: Bridge(station, port=self.port)
                self.control = self.start_control()
                self.port = self.control.port
                self.real = ("127.0.0.1", self.port)
                self.proxy = FaultyProxy(("127.0.0.1", 0), self.real)
                station.cnc_args = ["--cnc", f"tcp:127.0.0.1:{self.proxy.port}", "--cnc-key", station.key]
            else:
                self.real = os.path.join(station.root, "cnc.sock")
                station.cnc_server = os.path.join(station.root, "proxy.sock")
                self.start_control = lambda: Control(station, self.real).start()
                self.control = self.start_control()
                self.proxy = FaultyProxy(station.cnc_server, self.real)
            station.start()
            station.wait_stdout(lambda line: line == "Ready.", 20)
            self.stopped_until = 0.0
            for n in range(1, self.labels + 1):
                go_on = self.inject()
                name = program(n)
                if go_on:
                    self.hand_over_during_stop(name, go_on, self.stopped_until)
                else:
                    self.hand_over(name)
                self.proxy.arm(None)
                if self.rng.random() < 0.04 and self.expected[name]:
                    self.counts["scanned twice on purpose"] += 1
                    self.hand_over(name)
            # The station is still running and answering.
            self.hand_over("LAST")
            if station.process.poll() is not None:
                raise SystemExit("control faults: the station ended")
            if self.bridge:
                self.check(LinkClient(self.port, station.key).work_list())
            else:
                self.check(read_work_list(self.real))
        print(f"control faults: {self.labels} labels in {time.time() - started:.0f} s, seed {self.seed}")
        print("control faults: faults injected: " + ", ".join(f"{n} {k}" for k, n in sorted(self.faults.items())))
        print("control faults: outcomes: " + ", ".join(f"{n} {k}" for k, n in sorted(self.counts.items())))
        print(f"control faults: final list length {self.final_length}")
        print("1 passed, 0 failed")

    def hand_over_during_stop(self, name, go_on, resume_at):
        """The label is scanned while the control is stopped; it goes on when its time is up."""
        timer = threading.Timer(max(0.0, resume_at - time.time()), go_on)
        timer.start()
        try:
            self.hand_over(name)
        finally:
            timer.join()
        self.stopped_until = 0.0

    def check(self, rows):
        listed = collections.Counter()
        for row in rows:
            match = re.match(r"#161=([A-Z0-9]+)\.CNC;", row)
            if not match:
                raise SystemExit(f"control faults: a row that no label made: {row!r}")
            listed[match.group(1)] += 1
        self.final_length = len(rows)
        if listed != self.expected:
            wrong = {name: (listed[name], self.expected[name]) for name in set(listed) | set(self.expected)
                     if listed[name] != self.expected[name]}
            raise SystemExit(f"control faults: the list does not hold what the station said "
                             f"(name: listed, said): {dict(sorted(wrong.items()))}")
        journal = self.station.journal_lines()
        windows = self.quiet_windows + [(name, start, len(journal)) for name, start in self.given_up.items()]
        for name, start, end in windows:
            late = [line for line in journal[start:end] if line.startswith(f"AddLine #161={name}.CNC;")]
            if late:
                raise SystemExit(f"control faults: {name} ran after the station gave up on it: {late}")
        self.counts["calls given up on, checked never to run later"] = len(windows)


def main():
    bridge = "--bridge" in sys.argv
    arguments = [argument for argument in sys.argv[1:] if argument != "--bridge"]
    labels = int(arguments[0]) if arguments else 1000
    seed = int(arguments[1]) if len(arguments) > 1 else 19
    run = Run(labels, seed, bridge)
    run.seed = seed
    run.run()


if __name__ == "__main__":
    main()
