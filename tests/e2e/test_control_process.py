"""The control as a process of its own (cnc-sim): killed and restarted, stopped and let go on while
the station runs, and misbehaving (garbage, slow answers, a connection closed in the middle of a
call). The station must report what failed within a bounded time, never acknowledge a label whose
line did not go, never have a call it gave up on run later, tell what became of a label whose
answer was lost, keep running, and put the next label's line into the list once the control is
back."""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from control_link import frames  # noqa: E402
from station import CNC_SIM, Control, Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
BASE = "G71 X300 Y200 Z10\r\n(BASE)\r\nM30\r\n"
SLOW_SECONDS = 5


def added_programs(station):
    return [line.split(";")[0][len("AddLine #161="):] for line in station.journal_calls("AddLine")
            if "-> error" not in line]


class ControlStation(Station):
    """A station driving cnc-sim on a socket in its workspace, with two programs in its folder."""

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.cnc_server = os.path.join(self.root, "cnc.sock")
        self.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.write_file("PROGS/BASE.CNC", BASE)

    def errors(self):
        return [line for line in self.stderr_lines if "Unexpected error #" in line or "not queued" in line]

    def said(self, text, seconds):
        """Whether a status line holding text comes within seconds."""
        return self._wait_for(lambda: any(text in line for line in list(self.stdout_lines)), seconds)


class KilledAndRestartedTest(unittest.TestCase):
    def test_labels_while_the_control_is_down_are_not_acknowledged_and_the_next_after_restart_arrives(self):
        with ControlStation() as s:
            control = Control(s, s.cnc_server).start()
            s.start()
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 1)

            control.kill()
            s.scan("BASE")
            self.assertTrue(s._wait_for(lambda: s.errors(), 10), s.stderr_lines)
            self.assertIn("BASE.CNC was not queued: the CNC control at local:", s.errors()[0])
            self.assertIn("could not be reached", s.errors()[0])
            self.assertTrue(s.errors()[0].endswith("Scan it again once the control answers."), s.errors()[0])
            self.assertEqual(s.acks(2), 0, "a label was acknowledged while the control was down")
            self.assertIsNone(s.process.poll())

            Control(s, s.cnc_server).start()
            s.scan("BASE")
            self.assertEqual(s.acks(3), 1)
            self.assertEqual(added_programs(s), ["FLANGE.CNC", "BASE.CNC"])
            # The new control got a new list, shown and emptied, before the line.
            tail = s.journal_lines()[-4:]
            self.assertEqual(tail[:3], ["CreateObject Koridan.ExeList", "Visible True", "Clear"])
            self.assertIsNone(s.process.poll())


class WindowTest(unittest.TestCase):
    """cnc-sim on a real X server: the Work List window is on the screen from the start, before any
    station has connected, and not with --unattended."""

    def setUp(self):
        self.xdotool = shutil.which("xdotool")
        xvfb = shutil.which("Xvfb")
        if not self.xdotool or not xvfb:
            self.skipTest("Xvfb or xdotool is not installed (Debian packages xvfb, xdotool)")
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                                        "1280x800x24"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as number:
            self.display = ":" + number.readline().strip()
        self.folder = tempfile.mkdtemp(prefix="quorlan-cnc-window-")

    def tearDown(self):
        self.server.terminate()
        self.server.wait(10)
        shutil.rmtree(self.folder, ignore_errors=True)

    def work_list_windows(self):
        env = dict(os.environ, DISPLAY=self.display)
        result = subprocess.run([self.xdotool, "search", "--onlyvisible", "--name", "^Work List$"], env=env,
                                capture_output=True, text=True, timeout=10)
        return result.stdout.split()

    def test_the_work_list_window_shows_from_the_start_unless_unattended(self):
        for extra, shown in (([], True), (["--unattended"], False)):
            env = dict(os.environ, DISPLAY=self.display)
            env.pop("QT_QPA_PLATFORM", None)
            socket_path = os.path.join(self.folder, f"cnc{len(extra)}.sock")
            control = subprocess.Popen([CNC_SIM, *extra, "--listen", socket_path], env=env,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                self.assertIn("serving", control.stdout.readline())
                deadline = time.monotonic() + (10 if shown else 2)
                while not self.work_list_windows() and time.monotonic() < deadline:
                    time.sleep(0.2)
                self.assertEqual(bool(self.work_list_windows()), shown, extra)
            finally:
                control.kill()
                control.wait()


class StoppedControlTest(unittest.TestCase):
    def test_calls_given_up_on_while_the_control_is_stopped_never_run_and_the_label_is_told(self):
        with ControlStation() as s:
            control = Control(s, s.cnc_server).start()
            s.start()
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 1)
            control.process.send_signal(signal.SIGSTOP)
            try:
                s.scan("BASE")
                self.assertTrue(s.said("BASE.CNC: the CNC control at local:", 6), s.stdout_lines)
                self.assertTrue(s.said("not known yet", 1), s.stdout_lines)
                self.assertEqual(s.acks(2), 0)
                seen = len(s.journal_lines())
                time.sleep(3)  # the station asks again while the control is still stopped
            finally:
                control.process.send_signal(signal.SIGCONT)
            self.assertTrue(s.said("BASE.CNC did not reach the work list: scan it again.", 12), s.stdout_lines)
            self.assertEqual(s.journal_lines()[seen:], [])
            s.scan("BASE")
            self.assertEqual(s.acks(4), 1)
            self.assertEqual(added_programs(s), ["FLANGE.CNC", "BASE.CNC"])
            self.assertIsNone(s.process.poll())


class ControlProxy:
    """Stands between the station and cnc-sim and passes the protocol's frames through, or
    misbehaves as its mode says: "slow" delays every answer, "garbage" replaces answers with bytes
    that are no reply, "close" closes the connection when a call comes in."""

    def __init__(self, path, upstream):
        self.mode = "pass"
        self.upstream = upstream
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.listener.listen(8)
        self.open = []
        threading.Thread(target=self._accept, daemon=True).start()

    def close(self):
        self.listener.close()
        for connection in self.open:
            connection.close()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            server.connect(self.upstream)
            self.open += [client, server]
            threading.Thread(target=self._requests, args=(client, server), daemon=True).start()
            threading.Thread(target=self._answers, args=(server, client), daemon=True).start()

    def _requests(self, client, server):
        for frame in frames(client):
            if self.mode == "close":
                break
            server.sendall(frame)
        for connection in (client, server):
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass  # closed already

    def _answers(self, server, client):
        # Answers leave in order, each no earlier than it is due.
        for frame in frames(server):
            mode = self.mode
            if mode == "slow":
                time.sleep(SLOW_SECONDS)
            try:
                client.sendall(b"\0\0\0\3xyz" if mode == "garbage" else frame)
            except OSError:
                return


class MisbehavingControlTest(unittest.TestCase):
    def test_each_misbehaviour_is_reported_within_bounded_time_and_the_station_recovers(self):
        told = {"garbage": "FLANGE.CNC reached the work list after all: nothing to do.",
                "close": "FLANGE.CNC did not reach the work list: scan it again.",
                "slow": "FLANGE.CNC reached the work list after all: nothing to do."}
        for mode in ("garbage", "close", "slow"):
            with self.subTest(mode=mode), ControlStation() as s:
                real, s.cnc_server = s.cnc_server, os.path.join(s.root, "proxy.sock")
                Control(s, real).start()
                proxy = ControlProxy(s.cnc_server, real)
                try:
                    s.start()
                    s.wait_stdout(lambda line: line == "Ready.", 10)  # start-up has its list
                    s.scan("BASE")  # the first scan's clear
                    self.assertEqual(s.acks(4), 1, s.stderr_lines)
                    proxy.mode = mode
                    scanned = time.time()
                    s.scan("FLANGE")
                    self.assertTrue(s.said("not known yet", 12), s.stdout_lines)
                    self.assertLess(time.time() - scanned, 12)
                    self.assertEqual(s.acks(0.5), 0)
                    self.assertIsNone(s.process.poll())

                    proxy.mode = "pass"
                    self.assertTrue(s.said(told[mode], SLOW_SECONDS + 10), s.stdout_lines)
                    s.scan("BASE")
                    self.assertEqual(s.acks(4), 1, s.stderr_lines)
                    self.assertEqual(added_programs(s)[-1], "BASE.CNC")
                    # Whatever became of FLANGE, the list was never made anew.
                    self.assertEqual(s.journal_calls("CreateObject"), [])
                    self.assertEqual(added_programs(s).count("FLANGE.CNC"), 1 if "reached" in told[mode] else 0)
                    self.assertIsNone(s.process.poll())
                finally:
                    proxy.close()


if __name__ == "__main__":
    unittest.main()
