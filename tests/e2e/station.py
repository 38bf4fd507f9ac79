"""Runs the real station executable unattended against a pseudo-terminal scanner and the
built-in control simulator (or cnc-sim in a process of its own), for end-to-end tests."""

import os
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time

EXE = os.environ.get("QUORLAN_EXE", "build/src/quorlan")
CNC_SIM = os.environ.get("QUORLAN_CNC_SIM", "build/tools/cnc-sim")

SETTINGS = """[KORVALDE]\r
Settings=9600,N,8,1\r
CommPort=1\r
CommDevice1={device}\r
CommPollTime={poll}\r
GCodePath=C:\\PROGS\\\r
ListPath=C:\\PROGS\\lsx\\\r
CSVInPath=C:\\CSV\\\r
CSVOutPath=C:\\OUT\\Quorlan.csv\r
AutoStart= 0\r
AutoClear= 0\r
AutoSelSetting=3\r
FieldCode_DFN=N\r
"""


class Station:
    """A workspace (settings, program and CSV folders), a scanner line and a running station."""

    def __init__(self, args=(), settings=True, poll=100, extra_settings="", cnc_server=None):
        self.root = tempfile.mkdtemp(prefix="quorlan-e2e-")
        self.windows = os.path.join(self.root, "windows")
        self.drive = os.path.join(self.root, "drive_c")
        for folder in (self.windows, self.drive, self.path("PROGS", "lsx"), self.path("CSV"), self.path("OUT")):
            os.makedirs(folder, exist_ok=True)
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.journal = os.path.join(self.root, "journal.log")
        self.station_end = os.path.join(self.root, "station-port")
        self.scanner_end = os.path.join(self.root, "scanner")
        self.poll = poll
        self.plug()
        if settings:
            self.write_settings(SETTINGS.format(device=self.station_end, poll=poll) + extra_settings)
        self.args = list(args)
        # Changes to the station's environment; None takes a variable away.
        self.environment = {}
        # With a socket path the station drives cnc-sim there (see Control), which writes the journal.
        self.cnc_server = cnc_server
        # Or the options that name the control otherwise (--cnc tcp:HOST:PORT --cnc-key FILE).
        self.cnc_args = None
        self.process = None
        self.stdout_lines = []
        self.stderr_lines = []
        self.answers = b""
        self.launched = []

    def plug(self):
        """The scanner line comes up: a pseudo-terminal pair under the workspace's two names."""
        self.socat = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.station_end}", f"pty,raw,echo=0,link={self.scanner_end}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._wait_for(lambda: os.path.exists(self.scanner_end) and os.path.exists(self.station_end), 5)
        self.scanner = os.open(self.scanner_end, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def unplug(self):
        """The scanner's device goes away with its name, as a USB scanner pulled out."""
        os.close(self.scanner)
        self.scanner = None
        self.socat.terminate()
        self.socat.wait()

    def path(self, *parts):
        return os.path.join(self.drive, *parts)

    def env(self):
        env = dict(os.environ)
        env.update({
            "QUORLAN_WINDIR": self.windows,
            "QUORLAN_DRIVE_C": self.drive,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "QT_QPA_PLATFORM": "offscreen",
        })
        env.pop("QUORLAN_CNC_JOURNAL", None)
        for name, value in self.environment.items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    def write_settings(self, text):
        with open(os.path.join(self.windows, "QZT.INI"), "w", newline="") as f:
            f.write(text)

    def write_file(self, relative, text):
        target = self.path(*relative.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", newline="") as f:
            f.write(text)

    def start(self, wait_ready=True, wrapper=()):
        self.process = self.launch(self.args, wrapper=wrapper)
        if wait_ready:
            self.wait_stdout(lambda line: line.startswith("COM"), 20)
        return self

    def launch(self, args, unattended=True, wrapper=()):
        """Starts the station; wrapper is a command that runs it (a tracer, for instance)."""
        options = ["--unattended"] if unattended else []
        control = ["--cnc", "local:" + self.cnc_server] if self.cnc_server else ["--cnc-journal", self.journal]
        control = self.cnc_args or control
        process = subprocess.Popen([*wrapper, EXE, *options, *control, *args], env=self.env(),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.launched.append(process)
        self._collect(process.stdout, self.stdout_lines)
        self._collect(process.stderr, self.stderr_lines)
        return process

    @staticmethod
    def _collect(stream, lines):
        def pump():
            for raw in stream:
                lines.append(raw.decode("cp1252", "replace").rstrip("\r\n"))
        threading.Thread(target=pump, daemon=True).start()

    def scan(self, text, quiet_ticks=3):
        """Writes one scan as the scanner does, then stays quiet for some poll ticks."""
        data = text.encode("cp1252") if isinstance(text, str) else text
        os.write(self.scanner, data)
        time.sleep(quiet_ticks * self.poll / 1000.0)

    def read_answers(self, seconds=0.0):
        deadline = time.time() + seconds
        while True:
            ready, _, _ = select.select([self.scanner], [], [], max(0.0, deadline - time.time()))
            if ready:
                try:
                    self.answers += os.read(self.scanner, 4096)
                except BlockingIOError:
                    pass
            if time.time() >= deadline:
                return self.answers

    def acks(self, seconds):
        """How many ACKs the scanner gets within the next seconds."""
        before = len(self.answers)
        return self.read_answers(seconds)[before:].count(b"ACK\r")

    def journal_lines(self):
        if not os.path.exists(self.journal):
            return []
        with open(self.journal, encoding="cp1252") as f:
            return [line.rstrip("\r\n") for line in f]

    def journal_calls(self, name):
        return [line for line in self.journal_lines() if line == name or line.startswith(name + " ")]

    def wait_journal(self, predicate, seconds):
        return self._wait_for(lambda: predicate(self.journal_lines()), seconds)

    def wait_stdout(self, predicate, seconds):
        def seen():
            return any(predicate(line) for line in list(self.stdout_lines))
        if not self._wait_for(seen, seconds):
            raise AssertionError(f"not seen on stdout within {seconds}s; stdout={self.stdout_lines}"
                                 f" stderr={self.stderr_lines}")

    @staticmethod
    def _wait_for(condition, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return True
            time.sleep(0.01)
        return condition()

    def stop_station(self):
        """Ends the station as a termination signal does (as its close box would), and waits."""
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def stop(self):
        self.stop_station()
        for process in self.launched:
            if process.poll() is None:
                process.kill()
                process.wait()
            for stream in (process.stdout, process.stderr):
                if stream is not None:
                    stream.close()
        if self.scanner is not None:
            self.unplug()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class Control:
    """cnc-sim serving the control for a station, on a socket in the station's workspace and with
    the station's journal. Stopped with the station (give it to Station.launched's cleanup)."""

    def __init__(self, station, socket=None, key=None):
        """socket: a local socket's path, or tcp:HOST:PORT with the key file key."""
        self.station = station
        self.socket = socket or os.path.join(station.root, "cnc.sock")
        self.key = key
        self.process = None
        self.stdout_lines = []
        self.stderr_lines = []

    def start(self):
        self.process = subprocess.Popen(
            [CNC_SIM, "--unattended", "--listen", self.socket, "--cnc-journal", self.station.journal,
             *(["--key", self.key] if self.key else [])],
            env=self.station.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.station.launched.append(self.process)
        self.station._collect(self.process.stdout, self.stdout_lines)
        self.station._collect(self.process.stderr, self.stderr_lines)
        if not Station._wait_for(lambda: any("serving" in line for line in list(self.stdout_lines)), 20):
            raise AssertionError(f"cnc-sim did not start: {self.stdout_lines} {self.stderr_lines}")
        return self

    def kill(self):
        """As a crash would: no chance to close anything."""
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()
