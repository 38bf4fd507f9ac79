#!/usr/bin/env python3
"""Framing benchmark: with a poll time of 100 ms, how long from a scan's last byte on the scanner
line until its line reached the control, end to end through a real pseudo-terminal, in ticks.
The station frames a scan on the second quiet tick after the tick that read its last byte, so
the figure lies between two and three ticks, plus the dispatch and up to 10 ms of polling here.

    python3 bench/framing.py [path/to/quorlan] [scans]
"""

import os
import random
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
os.environ.setdefault("QUORLAN_EXE", sys.argv[1] if len(sys.argv) > 1 else "build/src/quorlan")
from station import Station  # noqa: E402

POLL_MS = 100
SCANS = int(sys.argv[2]) if len(sys.argv) > 2 else 10


def main():
    latencies = []
    with Station(args=["NOAPP"], poll=POLL_MS) as station:
        station.start()
        for n in range(SCANS):
            before = len(station.journal_calls("AddLine"))
            os.write(station.scanner, f"PART{n}".encode())
            written = time.perf_counter()
            if not station.wait_journal(lambda lines: sum(l.startswith("AddLine") for l in lines) > before, 10):
                raise SystemExit(f"scan {n} never reached the control")
            latencies.append((time.perf_counter() - written) * 1000)
            # Let the hand-over's pauses pass, and let the next scan end anywhere within a tick.
            station.read_answers(1.5 + random.random() * POLL_MS / 1000)
    ticks = [latency / POLL_MS for latency in latencies]
    print(f"last byte to work-list line: median {statistics.median(latencies):.0f} ms "
          f"({statistics.median(ticks):.2f} ticks), max {max(latencies):.0f} ms ({max(ticks):.2f} ticks), "
          f"{SCANS} scans at {POLL_MS} ms per tick")


if __name__ == "__main__":
    main()
