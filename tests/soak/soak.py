#!/usr/bin/env python3
"""Soak: many mixed scans through a pseudo-terminal into the real station, which drives cnc-sim,
with "CommPollTime" 100 and at least three quiet ticks between scans. Plain labels, sets of parts,
commands, list loads, 2D programs, compressed 2D programs and hostile input, in a random but
repeatable order. After each scan the journal must hold exactly the calls that scan must give,
and the scanner exactly the ACKs it must get: nothing lost, doubled or out of order. At the end
the station's resident memory must be within 10% of what it was after the first 50 scans.

    python3 tests/soak/soak.py [SCANS] [SEED]      (from the repository, after ./test built it)

With --bridge the same scans go once more through a station that drives quorlan-bridge.exe under
Wine ($QUORLAN_BRIDGE, in $WINEPREFIX with the stand-in for the control's server registered) across
TCP and the authenticated link, and the stand-in's journal must be the same as cnc-sim's, line for
line; the scans must then include every kind and every command.
"""

import collections
import contextlib
import os
import random
import sys
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows"))
from station import Control, Station  # noqa: E402
from test_bridge import Bridge  # noqa: E402
from test_control_network import new_key  # noqa: E402

POLL_MS = 100
GAP = 3 * POLL_MS / 1000.0
QUIET_WAIT = 0.8  # a scan that must give nothing has been framed and dispatched by then
CALL_WAIT = 10.0
MEMORY_BASELINE_AT = 50
MEMORY_GROWTH_ALLOWED = 0.10

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
BASE = "G71 X300 Y200 Z10\r\n(BASE)\r\nM30\r\n"
JOB_LIST = "C:\\\\PROGS\\\\lsx\\\\JOB1.LST"  # as the journal writes it
HOSTILE = ["X;#171=9;#168=1", "\x1b[2J\x07FLANGE", "ABC\r\nAddLine #161=EVIL.CNC", "FL\x00NGE"]
ALL_KINDS = {"plain", "set", "command", "list", "2d", "compressed", "hostile"}
COMMANDS = {"%START%": "StartList", "%STOP%": "HoldList", "%END%": "EndList", "%CLEAR%": "Clear",
            "%SETPOINT%": "Setpoint"}


def program_text(n):
    text = f"G71 X600 Y400 Z18\r\n(SOAK {n})\r\n"
    return text + "".join(f"N{i} G01 X{i * 7 % 600} Y{i * 13 % 400} Z-2 F1200\r\n" for i in range(3, 40)) + "M30"


def compressed(text):
    data = zlib.compress(text.encode("cp1252"), 9).replace(b"\\", b"\\\\")
    return b"\xf1" + b"00" + b"%05d" % len(text) + b"000" + data


class Expect:
    """What one scan must give: journal calls (name and texts each must contain) and ACKs."""

    def __init__(self, scan, calls=(), acks=0, kind=""):
        self.scan = scan
        self.calls = list(calls)
        self.acks = acks
        self.kind = kind

    def mismatch(self, lines, acks):
        if acks != self.acks:
            return f"{acks} ACKs where {self.acks} belong"
        if len(lines) != len(self.calls):
            return f"calls {lines}, expected {len(self.calls)}: {self.calls}"
        for line, (name, parts) in zip(lines, self.calls):
            if " -> error" in line:
                return f"call {line!r} failed"
            if not (line == name or line.startswith(name + " ")) or not all(p in line for p in parts):
                return f"call {line!r} is not {name} with {parts}"
        return None


def added(program, *parts):
    return ("AddLine", ["#161=" + program + ";", *parts])


def scans(count, rng):
    """The scans of a run, each with what it must give; the first is a plain label, which also
    takes the first-scan clear."""
    plan = [Expect("FLANGE", [("Clear", []), added("FLANGE.CNC", ";#168=600;#169=400;#170=18;")], 1, "plain")]
    n = 0
    while len(plan) < count:
        n += 1
        roll = rng.random()
        if roll < 0.30:
            plan.append(Expect("FLANGE", [added("FLANGE.CNC", ";#168=600;#169=400;#170=18;")], 1, "plain"))
        elif roll < 0.45:
            plan.append(Expect("%12BASE N %", [], 0, "set"))
            plan.append(Expect("%22300 200 10 %", [added("BASE.CNC", ";#168=300;#169=200;#170=10;")], 1, "set"))
        elif roll < 0.55:
            command = rng.choice(sorted(COMMANDS))
            plan.append(Expect(command, [(COMMANDS[command], [])], 0, "command"))
        elif roll < 0.60:
            plan.append(Expect("%01JOB1", [("Clear", []), ("OpenList", [JOB_LIST])], 0, "list"))
        elif roll < 0.75:
            name = f"SOAK{n}"
            plan.append(Expect(f"{name}^UN1^X600^Y400^Z18!{program_text(n)}", [added(name, ";#168=600;")], 0, "2d"))
        elif roll < 0.88:
            name = f"SOAKZ{n}"
            scan = compressed(f"{name}^UN1^X600^Y400^Z18!{program_text(n)}")
            plan.append(Expect(scan, [added(name, ";#168=600;")], 0, "compressed"))
        else:
            plan.append(Expect(rng.choice(HOSTILE), [], 0, "hostile"))
    return plan[:count]


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def drive(plan, bridge=False):
    """The plan's scans through a fresh station, each checked as it goes. Returns the journal and
    the resident memory in kB of the station after MEMORY_BASELINE_AT scans (None for a shorter
    run) and at the end, and of cnc-sim at the end (None for the bridge)."""
    with Station(poll=POLL_MS) as station, contextlib.ExitStack() as cleanup:
        station.write_file("PROGS/FLANGE.CNC", FLANGE)
        station.write_file("PROGS/BASE.CNC", BASE)
        station.write_file("PROGS/lsx/JOB1.LST", "#161=FLANGE.CNC;#168=600;\r\n")
        if bridge:
            cleanup.callback(os.remove, share_programs(station))
            station.key = new_key(station, "control.key")
            control = Bridge(station)
            station.cnc_args = ["--cnc", f"tcp:127.0.0.1:{control.port}", "--cnc-key", station.key]
        else:
            station.cnc_server = os.path.join(station.root, "cnc.sock")
            control = Control(station, station.cnc_server).start()
        station.start()
        station.wait_stdout(lambda line: line == "Ready.", 20)
        seen = len(station.journal_lines())
        baseline = None
        for index, expect in enumerate(plan, 1):
            station.scan(expect.scan, quiet_ticks=0)
            if expect.calls:
                station.wait_journal(lambda lines: len(lines) >= seen + len(expect.calls), CALL_WAIT)
                acks = station.acks(GAP)
            else:
                acks = station.acks(QUIET_WAIT)
            lines = station.journal_lines()[seen:]
            problem = expect.mismatch(lines, acks)
            if problem or station.process.poll() is not None:
                raise SystemExit(f"soak: scan {index} ({expect.kind}) {expect.scan!r:.60}: "
                                 f"{problem or 'the station ended'}\nstderr: {station.stderr_lines[-5:]}")
            seen += len(lines)
            if index == MEMORY_BASELINE_AT:
                baseline = resident_kb(station.process.pid)
        return (station.journal_lines(), baseline, resident_kb(station.process.pid),
                None if bridge else resident_kb(control.process.pid))


def share_programs(station):
    """The control's PC sees the station's programs and lists where the station's settings say they
    are, as a shop shares the folder; cnc-sim sees them there through the station's drive."""
    shared = os.path.join(os.environ["WINEPREFIX"], "drive_c", "PROGS")
    os.symlink(station.path("PROGS"), shared)
    return shared


def check_memory(baseline, final, control_final, control):
    if baseline is None:
        return
    growth = (final - baseline) / baseline
    print(f"soak: station resident memory {baseline / 1024:.1f} MB after {MEMORY_BASELINE_AT} scans, "
          f"{final / 1024:.1f} MB at the end ({growth:+.1%})" +
          (f"; cnc-sim {control_final / 1024:.1f} MB at the end" if control_final else f" ({control})"))
    if growth > MEMORY_GROWTH_ALLOWED:
        raise SystemExit(f"soak: resident memory grew by {growth:.1%}, more than {MEMORY_GROWTH_ALLOWED:.0%}")


def compare(simulated, bridged):
    """The stand-in behind the bridge must have been called exactly as cnc-sim was."""
    if simulated == bridged:
        return
    first = next((i for i, (a, b) in enumerate(zip(simulated, bridged)) if a != b), min(len(simulated), len(bridged)))
    raise SystemExit(f"soak: the journals part at line {first + 1} of {len(simulated)} (cnc-sim) and "
                     f"{len(bridged)} (bridge): {simulated[first:first + 2]} against {bridged[first:first + 2]}")


def run(count, seed, bridge):
    plan = scans(count, random.Random(seed))
    kinds = collections.Counter(expect.kind for expect in plan)
    if bridge:
        missing = ALL_KINDS - set(kinds) | set(COMMANDS) - {expect.scan for expect in plan}
        if missing:
            raise SystemExit(f"soak: {count} scans of seed {seed} leave out {sorted(missing)}; take more or another")
    started = time.time()
    journal, *memory = drive(plan)
    check_memory(*memory, "cnc-sim")
    took = f"{time.time() - started:.0f} s"
    if bridge:
        started = time.time()
        bridged, *memory = drive(plan, bridge=True)
        check_memory(*memory, "through the bridge")
        compare(journal, bridged)
        took += f" with cnc-sim, {time.time() - started:.0f} s through the bridge under Wine, the same {len(journal)} journal lines"
    print(f"soak: {count} scans ({', '.join(f'{n} {k}' for k, n in sorted(kinds.items()))}) in {took}")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    bridge = "--bridge" in sys.argv
    arguments = [argument for argument in sys.argv[1:] if argument != "--bridge"]
    run(int(arguments[0]) if arguments else 500, int(arguments[1]) if len(arguments) > 1 else 11, bridge)
