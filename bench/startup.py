#!/usr/bin/env python3
"""Start-up benchmark: time from launching the station to its window being shown (the first
status line an unattended station echoes), and its resident memory once it runs.

    python3 bench/startup.py [path/to/quorlan] [runs]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

EXE = sys.argv[1] if len(sys.argv) > 1 else "build/src/quorlan"
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 10


def resident_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def one_run(root):
    env = dict(os.environ, QUORLAN_WINDIR=os.path.join(root, "windows"), XDG_RUNTIME_DIR=os.path.join(root, "run"),
               QUORLAN_DRIVE_C=os.path.join(root, "c"), QT_QPA_PLATFORM="offscreen")
    start = time.perf_counter()
    process = subprocess.Popen([EXE, "--unattended", "NOAPP"], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    for raw in process.stdout:
        if raw.strip() == b"Ready.":
            break
    shown = time.perf_counter() - start
    time.sleep(1.0)
    rss = resident_mb(process.pid)
    process.terminate()
    process.wait()
    process.stdout.close()
    return shown, rss


def main():
    with tempfile.TemporaryDirectory() as root:
        for folder in ("windows", "run", "c"):
            os.makedirs(os.path.join(root, folder), mode=0o700)
        with open(os.path.join(root, "windows", "QZT.INI"), "w") as ini:
            ini.write("[KORVALDE]\nCommPort=1\nCommDevice1=/nonexistent\nCommPollTime=100\n")
        results = [one_run(root) for _ in range(RUNS)]
    times = [t * 1000 for t, _ in results]
    rss = [r for _, r in results]
    print(f"start-up to shown window: median {statistics.median(times):.0f} ms, max {max(times):.0f} ms ({RUNS} runs)")
    print(f"resident memory: median {statistics.median(rss):.1f} MB, max {max(rss):.1f} MB")


if __name__ == "__main__":
    main()
