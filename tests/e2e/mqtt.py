"""A real mosquitto broker for end-to-end tests, on 127.0.0.1 and a free port, started and stopped
by the test and keeping its state across a restart as a shop's broker does; a subscriber
(mosquitto_sub) with a session the broker keeps while it is away, as an integrator's consumer has;
and the certificates for TLS."""

import getpass
import json
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import unittest

from station import Station

MOSQUITTO = next((path for path in ("/usr/sbin/mosquitto", "/usr/bin/mosquitto") if os.path.exists(path)),
                 shutil.which("mosquitto"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


wait_for = Station._wait_for


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Certificates:
    """A certificate authority, a broker certificate it signed for localhost, and a second
    authority that signed nothing the broker has."""

    def __init__(self, folder):
        os.makedirs(folder, exist_ok=True)
        self.ca, self.other_ca = os.path.join(folder, "ca.pem"), os.path.join(folder, "other-ca.pem")
        self.server, self.server_key = os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")
        key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
        run("openssl", "req", "-x509", *key, "-keyout", os.path.join(folder, "ca.key"), "-out", self.ca, "-days", "2",
            "-subj", "/CN=Test-CA")
        run("openssl", "req", "-x509", *key, "-keyout", os.path.join(folder, "other.key"), "-out", self.other_ca,
            "-days", "2", "-subj", "/CN=Other-CA")
        csr = os.path.join(folder, "server.csr")
        run("openssl", "req", *key, "-keyout", self.server_key, "-out", csr, "-subj", "/CN=localhost")
        san = os.path.join(folder, "san.cnf")
        with open(san, "w") as f:
            f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n")
        run("openssl", "x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", os.path.join(folder, "ca.key"),
            "-CAcreateserial", "-days", "2", "-out", self.server, "-extfile", san)


class Broker:
    """mosquitto on 127.0.0.1; with user and password, anonymous clients are refused; with
    certificates, TLS only (reached by the name localhost, which the certificate names)."""

    def __init__(self, root, user=None, password=None, certificates=None, port=None):
        self.port = port or free_port()
        self.folder = os.path.join(root, f"broker-{self.port}")
        os.makedirs(self.folder)
        self.user, self.password, self.certificates = user, password, certificates
        self.host = "localhost" if certificates else "127.0.0.1"
        lines = [f"listener {self.port} 127.0.0.1", "persistence true", f"persistence_location {self.folder}/",
                 # Run as root, the broker would switch to a user that cannot read the test's files.
                 f"user {getpass.getuser()}"]
        if certificates:
            lines += [f"cafile {certificates.ca}", f"certfile {certificates.server}",
                      f"keyfile {certificates.server_key}"]
        if user:
            passwords = os.path.join(self.folder, "passwords")
            run("mosquitto_passwd", "-b", "-c", passwords, user, password)
            lines += ["allow_anonymous false", f"password_file {passwords}"]
        else:
            lines.append("allow_anonymous true")
        self.config = os.path.join(self.folder, "mosquitto.conf")
        with open(self.config, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.process = None
        self.start()

    @property
    def address(self):
        return f"{self.host}:{self.port}"

    def start(self):
        log = open(os.path.join(self.folder, "mosquitto.log"), "ab")
        self.process = subprocess.Popen([MOSQUITTO, "-c", self.config], stdout=log, stderr=log)
        log.close()
        if not wait_for(lambda: accepts(self.port), 10):
            raise AssertionError("mosquitto did not start: " + open(os.path.join(self.folder, "mosquitto.log")).read())

    def stop(self):
        """As an administrator stops it: it saves its state and ends every connection."""
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.process = None

    def client_options(self):
        options = ["-h", self.host, "-p", str(self.port)]
        if self.certificates:
            options += ["--cafile", self.certificates.ca]
        if self.user:
            options += ["-u", self.user, "-P", self.password]
        return options

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class Message:
    def __init__(self, retained, topic, payload):
        self.retained, self.topic = retained, topic
        self.text = payload
        self.payload = json.loads(payload)

    def __repr__(self):
        return f"{self.topic} {self.text}"


class Subscriber:
    """mosquitto_sub with QoS 1 and a session the broker keeps (-c), as README shows it."""

    def __init__(self, broker, topic="quorlan/#", client_id="integrator"):
        self.broker, self.messages, self.raw = broker, [], []
        self.process = subprocess.Popen(
            ["mosquitto_sub", *broker.client_options(), "-q", "1", "-c", "-i", client_id, "-t", topic, "-t",
             "probe/" + client_id, "-F", "%r %t %p"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.collector = threading.Thread(target=self._collect, daemon=True)
        self.collector.start()
        # Subscribed once a message of its own comes back; retained, so that it comes whenever the
        # subscription is made, however slowly mosquitto_sub starts.
        probe = "probe/" + client_id
        subprocess.run(["mosquitto_pub", *broker.client_options(), "-q", "1", "-r", "-t", probe, "-m", "{}"],
                       check=True)
        if not wait_for(lambda: any(m.topic == probe for m in self.messages), 10):
            raise AssertionError("the subscriber did not subscribe")

    def _collect(self):
        for raw in self.process.stdout:
            line = raw.decode("utf-8").rstrip("\n")
            self.raw.append(line)
            retained, topic, payload = line.split(" ", 2)
            self.messages.append(Message(retained == "1", topic, payload))

    def on(self, suffix):
        return [m for m in list(self.messages) if m.topic.endswith(suffix)]

    def events(self, prefix):
        """The events under prefix, each id once (a consumer drops repeats), in the order they came."""
        seen, events = set(), []
        for m in list(self.messages):
            if m.topic.startswith(prefix + "/events/") and m.payload["id"] not in seen:
                seen.add(m.payload["id"])
                events.append(m)
        return events

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.collector.join(10)
        self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class BrokersTest(unittest.TestCase):
    """A test that starts brokers (and certificates) in a folder of its own, all gone after it."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="quorlan-e2e-brokers-")
        self.brokers = []

    def broker(self, **options):
        broker = Broker(self.root, **options)
        self.brokers.append(broker)
        return broker

    def tearDown(self):
        for broker in self.brokers:
            broker.stop()
        shutil.rmtree(self.root, ignore_errors=True)
