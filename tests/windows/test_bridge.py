"""The station on Linux, across TCP on 127.0.0.1, to quorlan-bridge.exe under Wine, which calls the
stand-in for the control's automation server (registered in the test run's prefix) by name through
IDispatch; the stand-in writes the journal. The line arrives, in process and from a server process;
another key is refused in plain words with nothing in the journal; a key file that others may read
is refused before anything is served; idle connections, random bytes, a recorded session played
back, a flipped bit and an oversized length do not stop the station's own and nothing of them runs;
the bridge killed and restarted is reported and reached again."""

import hashlib
import hmac
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from control_link import BOUND_MS, PROTOCOL_VERSION, _frame, _string, frames  # noqa: E402
from station import Station  # noqa: E402
from test_control_network import NetworkStation, new_key  # noqa: E402

BRIDGE = os.environ.get("QUORLAN_BRIDGE", "build-windows/tools/quorlan-bridge/quorlan-bridge.exe")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class BridgeRefused(AssertionError):
    def __init__(self, status, errors):
        super().__init__(f"the bridge did not start (exit status {status}): {errors}")
        self.status, self.errors = status, errors


class Bridge:
    """quorlan-bridge.exe under Wine for a station: its key, and the station's journal for the
    stand-in. Its output goes to files, as Wine's helpers may inherit it and outlive it."""

    def __init__(self, station, key=None, port=0, extra=()):
        self.station = station
        name = f"bridge-{len(station.launched)}"
        self.out, self.err = station.path(name + ".out"), station.path(name + ".err")
        environment = dict(os.environ, WINEDEBUG="-all", QUORLAN_CNC_JOURNAL=windows_path(station.journal))
        for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
            environment.pop(variable, None)
        with open(self.out, "wb") as out, open(self.err, "wb") as err:
            self.process = subprocess.Popen(
                ["wine", BRIDGE, "--listen", f"tcp:127.0.0.1:{port}", "--key", windows_path(key or station.key),
                 *extra], env=environment, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        station.launched.append(self.process)
        Station._wait_for(lambda: "serving" in self.output() or self.process.poll() is not None, 30)
        if "serving" not in self.output():
            raise BridgeRefused(self.process.poll(), self.errors())
        self.port = int(re.search(r"tcp:127\.0\.0\.1:(\d+)", self.output()).group(1))

    def output(self):
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def errors(self):
        with open(self.err, encoding="utf-8", errors="replace") as f:
            return f.read()

    def kill(self):
        """As a crash would. Wine's server, not the program, holds a Windows program's sockets, and
        it closes those of a killed one only after it has cleaned up after it: with a hundred
        connections just closed, that took more than a minute at times. A call sent on the
        station's connection meanwhile waits unanswered and its outcome is not known yet (the fault
        test sees that case). Here the bridge is gone when its port no longer listens, read from the
        kernel's table: a connection to find out would only add to the server's work."""
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()
        if not Station._wait_for(lambda: not listening(self.port), 60):
            raise AssertionError(f"port {self.port} still listens a minute after the bridge was killed")


def listening(port):
    with open("/proc/net/tcp") as table:
        next(table)
        return any(fields[1].endswith(f":{port:04X}") and fields[3] == "0A"
                   for fields in (line.split() for line in table))


def mac(key, *parts):
    return hmac.new(key, b"".join(parts), hashlib.sha256).digest()


class LinkClient:
    """A station's end of the link written afresh from its description: the handshake, then the
    protocol's frames in signed records. What it sent is kept, as a listener on the network has it."""

    def __init__(self, port, key_file):
        with open(key_file) as f:
            key = bytes.fromhex(f.read().strip())
        self.connection = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.incoming = frames(self.connection)
        self.sent = b""
        nonce = os.urandom(32)
        self.send(_frame(b"QLNK" + struct.pack(">I", 1) + nonce))
        answer = next(self.incoming)[4:]
        theirs = answer[8:40]
        assert answer[40:] == mac(key, b"quorlan control proof", nonce, theirs), "the bridge's proof is wrong"
        self.send(_frame(mac(key, b"quorlan station proof", nonce, theirs)))
        self.key = mac(key, b"quorlan link key", nonce, theirs)
        self.records = 0
        self.calls = 0

    def send(self, data):
        self.sent += data
        self.connection.sendall(data)

    def seal(self, payload):
        record = _frame(payload + mac(self.key, b"S", struct.pack(">Q", self.records), payload))
        self.records += 1
        return record

    def reply(self):
        body = next(self.incoming)[4:]
        return body[:-32]  # the protocol's frame; the bridge's records are not checked here

    def open_list(self):
        """Greets and makes the list, as a station does: the control's clock and the list's handle."""
        self.send(self.seal(_frame(b"H" + struct.pack(">II", PROTOCOL_VERSION, BOUND_MS) + bytes(16) +
                                   struct.pack(">I", 0))))
        clock = struct.unpack(">Q", self.reply()[4:][18:26])[0]
        return clock, struct.unpack(">I", self.call(clock, 0, 2, b"S" + _string("Koridan.ExeList"))[1:5])[0]

    def add_line(self, line):
        clock, handle = self.open_list()
        self.call(clock, handle, 28, b"S" + _string(line))

    def work_list(self):
        """The rows of the control's work list as it stands."""
        clock, handle = self.open_list()
        rows = struct.unpack(">i", self.call(clock, handle, 24, b"")[1:5])[0]
        return [self.call(clock, handle, 30, b"I" + struct.pack(">i", row))[5:].decode("cp1252")
                for row in range(1, rows + 1)]

    def call(self, clock, handle, operation, argument):
        self.calls += 1
        self.send(self.seal(_frame(b"Q" + struct.pack(">IQIBB", self.calls, clock, handle, operation,
                                                      1 if argument else 0) + argument)))
        return self.reply()[4:][17:]


def lines(station):
    return [line.split(";")[0] for line in station.added()]


class BridgeTest(unittest.TestCase):
    def test_line_arrives_in_process_and_from_a_server_process_and_idle_connections_do_not_stop_it(self):
        with NetworkStation() as s:
            bridge = Bridge(s)
            s.start_with(bridge.port)
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 1, s.stderr_lines)
            self.assertEqual(lines(s), ["AddLine #161=FLANGE.CNC"])

            bridge.kill()
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 0)
            self.assertTrue(s.said("FLANGE.CNC was not queued", 5), s.stderr_lines)
            told = next(line for line in s.stderr_lines + s.stdout_lines if "was not queued" in line)
            self.assertIn(f"the CNC control at tcp:127.0.0.1:{bridge.port} could not be reached", told)

            # Back, with the control's objects in a server process of their own.
            bridge = Bridge(s, port=bridge.port, extra=["--server-process"])
            s.scan("FLANGE")
            self.assertEqual(s.acks(5), 1, s.stderr_lines)
            self.assertEqual(lines(s), ["AddLine #161=FLANGE.CNC"] * 2)

            idle = [socket.create_connection(("127.0.0.1", bridge.port)) for _ in range(100)]
            noisy = socket.create_connection(("127.0.0.1", bridge.port))
            noisy.sendall(os.urandom(4096))
            try:
                s.scan("BASE")
                self.assertEqual(s.acks(3), 1, s.stderr_lines)
            finally:
                for connection in idle + [noisy]:
                    connection.close()
            self.assertEqual(lines(s)[-1], "AddLine #161=BASE.CNC")
            self.assertEqual(len(lines(s)), 3)
            self.assertIn("waiting to prove the key", bridge.errors())

    def test_with_another_key_the_station_says_so_and_nothing_arrives(self):
        with NetworkStation(words=("NOAPP",)) as s:
            bridge = Bridge(s, key=new_key(s, "other.key"))
            s.start_with(bridge.port)
            s.scan("FLANGE")
            self.assertEqual(s.acks(3), 0)
            self.assertTrue(s.said("is refused", 5), s.stderr_lines)
            told = next(line for line in s.stderr_lines + s.stdout_lines if "is refused" in line)
            self.assertIn("it holds another key than this station", told)
            self.assertEqual(s.journal_lines(), [])
            self.assertTrue(Station._wait_for(lambda: "a station whose key differs" in bridge.errors(), 5),
                            bridge.errors())

    def test_a_key_file_that_others_may_read_is_refused_until_it_is_the_users_alone(self):
        # Wine presents a file's mode bits as its access list: those of others become an entry for
        # Everyone; the group's are left out, so 0640 reads as 0600 does.
        with NetworkStation() as s:
            os.chmod(s.key, 0o644)
            with self.assertRaises(BridgeRefused) as refused:
                Bridge(s)
            self.assertNotIn(refused.exception.status, (0, None))
            self.assertIn(f"the control key file {windows_path(s.key)} may be read by Everyone, not only by this user",
                          refused.exception.errors)
            self.assertIn(f'icacls "{windows_path(s.key)}" /inheritance:r /grant:r', refused.exception.errors)

            os.chmod(s.key, 0o600)
            Bridge(s)  # serves

    def test_replayed_altered_or_oversized_records_end_their_connection_and_nothing_of_them_runs(self):
        with NetworkStation() as s:
            bridge = Bridge(s)
            s.start_with(bridge.port)
            recorded = LinkClient(bridge.port, s.key)
            recorded.add_line("#161=RECORDED.CNC;")
            recorded.connection.close()
            self.assertEqual(lines(s), ["AddLine #161=RECORDED.CNC"])

            def replayed():
                attacker = socket.create_connection(("127.0.0.1", bridge.port), timeout=10)
                attacker.sendall(recorded.sent)
                return attacker

            def flipped():
                attacker = LinkClient(bridge.port, s.key)
                record = bytearray(attacker.seal(_frame(b"H" + struct.pack(">II", PROTOCOL_VERSION, BOUND_MS) +
                                                        bytes(16) + struct.pack(">I", 0))))
                record[9] ^= 0x01
                attacker.send(bytes(record))
                return attacker.connection

            def oversized():
                attacker = LinkClient(bridge.port, s.key)
                attacker.send(b"\xff\xff\xff\xf0")
                return attacker.connection

            for attack in (replayed, flipped, oversized):
                with self.subTest(attack.__name__):
                    connection = attack()
                    connection.settimeout(10)
                    try:
                        data = b""
                        while chunk := connection.recv(4096):
                            data += chunk
                    except ConnectionResetError:
                        pass
                    connection.close()
                    s.scan("BASE")
                    self.assertEqual(s.acks(3), 1, s.stderr_lines)
                    self.assertEqual(lines(s)[0], "AddLine #161=RECORDED.CNC")
                    self.assertEqual(lines(s)[1:], ["AddLine #161=BASE.CNC"] * (len(lines(s)) - 1))
            self.assertEqual(len(lines(s)), 4)
            errors = bridge.errors()
            self.assertIn("does not hold the key", errors)
            self.assertIn("not as it was sent", errors)
            self.assertIn("longer than", errors)


if __name__ == "__main__":
    if not os.path.exists(os.environ.get("QUORLAN_EXE", "")):
        sys.exit("the station for Linux is not built: ./test builds it (preset default) before the Windows programs")
    unittest.main()
