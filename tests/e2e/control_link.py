"""The control protocol from a test's side: a proxy that stands between the station and cnc-sim and
misbehaves once when told, and a client that reads cnc-sim's work list as it stands."""

import socket
import struct
import threading
import time

GARBAGE = b"\0\0\0\3xyz"
PROTOCOL_VERSION = 3
BOUND_MS = 2000


def frames(connection):
    """The whole frames (length included) that arrive on a connection, until it ends."""
    buffer = b""
    while True:
        while len(buffer) >= 4 and len(buffer) >= 4 + struct.unpack(">I", buffer[:4])[0]:
            size = 4 + struct.unpack(">I", buffer[:4])[0]
            yield buffer[:size]
            buffer = buffer[size:]
        try:
            data = connection.recv(65536)
        except OSError:
            return
        if not data:
            return
        buffer += data


def _close(*connections):
    for connection in connections:
        try:
            connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        connection.close()


class FaultyProxy:
    """Passes frames between the station and the control, and on its way does one fault when asked:
    "delay" holds the next answer for some seconds, "garble" replaces it with bytes that are no
    frame, "cut-request" closes the connection instead of passing the next request on, "cut-answer"
    passes the request and closes the connection instead of passing its answer. Greetings count as
    requests and answers too. When the station closes its end, the proxy closes its end to the
    control at once, as the station's own connection would have been."""

    def __init__(self, path, upstream):
        """path and upstream: local sockets' paths, or (host, port) pairs for TCP (the link's records
        are frames too); the TCP port it serves on is self.port."""
        self.upstream = upstream
        self.family = socket.AF_INET if isinstance(upstream, tuple) else socket.AF_UNIX
        self.fault = None
        self.delay = 0.0
        self.lock = threading.Lock()
        self.listener = socket.socket(self.family, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.port = self.listener.getsockname()[1] if self.family == socket.AF_INET else None
        self.listener.listen(16)
        threading.Thread(target=self._accept, daemon=True).start()

    def arm(self, fault, delay=0.0):
        with self.lock:
            self.fault, self.delay = fault, delay

    def _take(self, kinds):
        with self.lock:
            if self.fault in kinds:
                fault, self.fault = self.fault, None
                return fault, self.delay
        return None, 0.0

    def close(self):
        self.listener.close()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.socket(self.family, socket.SOCK_STREAM)
            try:
                server.connect(self.upstream)
            except OSError:
                _close(client, server)  # the control is down: so is the way to it
                continue
            threading.Thread(target=self._requests, args=(client, server), daemon=True).start()
            threading.Thread(target=self._answers, args=(server, client), daemon=True).start()

    def _requests(self, client, server):
        for frame in frames(client):
            fault, _ = self._take(("cut-request",))
            if fault:
                break
            try:
                server.sendall(frame)
            except OSError:
                break
        _close(client, server)

    def _answers(self, server, client):
        for frame in frames(server):
            fault, delay = self._take(("delay", "garble", "cut-answer"))
            if fault == "cut-answer":
                break
            if fault == "delay":
                time.sleep(delay)
            try:
                client.sendall(GARBAGE if fault == "garble" else frame)
            except OSError:
                break
        _close(server, client)


def _string(text):
    data = text.encode("cp1252")
    return struct.pack(">I", len(data)) + data


def _frame(body):
    return struct.pack(">I", len(body)) + body


def read_work_list(path, timeout=10):
    """The rows of the control's work list, read through a session of its own."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.settimeout(timeout)
        connection.connect(path)
        incoming = frames(connection)
        connection.sendall(_frame(b"H" + struct.pack(">II", PROTOCOL_VERSION, BOUND_MS) + bytes(16) +
                                  struct.pack(">I", 0)))
        welcome = next(incoming)[4:]
        clock = struct.unpack(">Q", welcome[18:26])[0]
        calls = iter(range(1, 1 << 31))

        def call(handle, operation, arguments=b"", count=0):
            nonlocal clock
            number = next(calls)
            connection.sendall(_frame(b"Q" + struct.pack(">IQIBB", number, clock, handle, operation, count) +
                                      arguments))
            reply = next(incoming)[4:]
            kind, answered, clock, error = reply[:1], *struct.unpack(">IQi", reply[1:17])
            if kind != b"R" or answered != number or error != 0:
                raise RuntimeError(f"control refused operation {operation}: {reply!r}")
            return reply[17:]

        handle = struct.unpack(">I", call(0, 2, b"S" + _string("Koridan.ExeList"), 1)[1:5])[0]
        rows = struct.unpack(">i", call(handle, 24)[1:5])[0]
        lines = []
        for row in range(1, rows + 1):
            value = call(handle, 30, b"I" + struct.pack(">i", row), 1)
            lines.append(value[5:].decode("cp1252"))
        return lines
