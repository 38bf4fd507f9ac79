"""The control across a network: the station reaches cnc-sim on TCP, each end proving that it
holds the key they share. The line arrives in the journal; with another key the station says so in
plain words and nothing arrives; a hundred idle connections to the control do not stop the
station's own; the control killed and restarted is reported and reached again."""

import os
import re
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from station import EXE, Control, Station  # noqa: E402

FLANGE = "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n"
BASE = "G71 X300 Y200 Z10\r\n(BASE)\r\nM30\r\n"


def new_key(station, name):
    path = station.path(name)
    subprocess.run([EXE, "--new-control-key", path], check=True, env=station.env(), capture_output=True)
    return path


class NetworkStation(Station):
    """A station driving cnc-sim on TCP at 127.0.0.1, with two programs in its folder."""

    def __init__(self, words=()):
        super().__init__(args=words)
        self.write_file("PROGS/FLANGE.CNC", FLANGE)
        self.write_file("PROGS/BASE.CNC", BASE)
        self.key = new_key(self, "control.key")

    def serve(self, port=0):
        control = Control(self, f"tcp:127.0.0.1:{port}", self.key).start()
        served = next(line for line in control.stdout_lines if "serving" in line)
        control.port = int(re.search(r"tcp:127\.0\.0\.1:(\d+)", served).group(1))
        return control

    def start_with(self, port, key=None, from_settings=False):
        """Named on the command line, or in QZT.INI as an installation keeps it."""
        address, key = f"tcp:127.0.0.1:{port}", key or self.key
        if from_settings:
            with open(os.path.join(self.windows, "QZT.INI"), "a", newline="") as f:
                f.write(f"ControlAddress={address}\r\nControlKeyFile={key}\r\n")
            self.cnc_args = ["--unattended"]
        else:
            self.cnc_args = ["--cnc", address, "--cnc-key", key]
        return self.start()

    def added(self):
        return [line for line in self.journal_calls("AddLine") if "-> error" not in line]

    def said(self, text, seconds):
        return self._wait_for(lambda: any(text in line for line in list(self.stderr_lines + self.stdout_lines)),
                              seconds)


class NetworkTest(unittest.TestCase):
    def test_line_arrives_and_a_hundred_idle_connections_do_not_stop_the_stations_own(self):
        with NetworkStation() as s:
            control = s.serve()
            s.start_with(control.port)
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 1, s.stderr_lines)
            self.assertEqual(len(s.added()), 1)
            self.assertIn("#161=FLANGE.CNC", s.added()[0])

            idle = [socket.create_connection(("127.0.0.1", control.port)) for _ in range(100)]
            try:
                s.scan("BASE")
                self.assertEqual(s.acks(3), 1, s.stderr_lines)
                self.assertEqual(len(s.added()), 2)
            finally:
                for connection in idle:
                    connection.close()
            self.assertTrue(any("waiting to prove the key" in line for line in control.stderr_lines),
                            control.stderr_lines)
            self.assertIsNone(s.process.poll())

    def test_with_another_key_the_station_says_so_and_nothing_arrives(self):
        with NetworkStation(words=("NOAPP",)) as s:
            control = s.serve()
            s.start_with(control.port, key=new_key(s, "other.key"))
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 0)
            self.assertTrue(s.said("is refused", 5), s.stderr_lines)
            told = next(line for line in s.stderr_lines + s.stdout_lines if "is refused" in line)
            self.assertIn(f"the CNC control at tcp:127.0.0.1:{control.port} is refused: it holds another key", told)
            self.assertIn("Copy the same key file to the station and to the control's PC", told)
            self.assertEqual(s.journal_lines(), [])
            self.assertTrue(any("a station whose key differs" in line for line in control.stderr_lines),
                            control.stderr_lines)

    def test_control_named_in_the_settings_killed_is_reported_and_reached_again_once_restarted(self):
        with NetworkStation() as s:
            control = s.serve()
            s.start_with(control.port, from_settings=True)
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 1, s.stderr_lines)
            control.kill()
            s.scan("BASE")
            self.assertEqual(s.acks(3), 0)
            self.assertTrue(s.said("BASE.CNC was not queued", 5), s.stderr_lines)
            told = next(line for line in s.stderr_lines + s.stdout_lines if "was not queued" in line)
            self.assertIn(f"the CNC control at tcp:127.0.0.1:{control.port} could not be reached", told)

            s.serve(control.port)
            s.scan("BASE")
            self.assertEqual(s.acks(3), 1, s.stderr_lines)
            self.assertEqual([line.split(";")[0] for line in s.added()],
                             ["AddLine #161=FLANGE.CNC", "AddLine #161=BASE.CNC"])


if __name__ == "__main__":
    unittest.main()
