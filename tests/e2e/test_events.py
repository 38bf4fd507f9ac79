"""The station's MQTT events through the real station, a pseudo-terminal scanner and a real
mosquitto broker that the test starts on 127.0.0.1: 100 mixed scans all received in order with the
fields README documents; the station killed with SIGKILL (its status offline by the last will, and
what it had not published sent after a restart); the scanner's port lost and back; the control
unreachable and back; and a broker setting that is no address.
The broker away and the settings an installer can get wrong are in test_events_broker_away.py."""

import json
import os
import random
import re
import signal
import sqlite3
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from mqtt import BrokersTest, Subscriber, wait_for  # noqa: E402
from station import Control, Station  # noqa: E402
from test_history import FLANGE, PLATE, mixed_scans, wait_until_quiet  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FAILING = "MQTT events are not being published: "
RECOVERED = "MQTT events are being published again."
# Scans sent in a row stay apart even on a busy machine (the station's part pauses take longer).
QUIET = 5


def documented_payloads():
    """README's example messages, as mosquitto_sub -v prints them: the keys of each kind."""
    documented = {}
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as readme:
        for line in readme:
            match = re.match(r"^quorlan/[^/ ]+/(\S+) (\{.*\})$", line.rstrip("\n"))
            if match:
                payload = json.loads(match.group(2))
                kind = payload.get("event") or payload.get("state") + ("" if "time" in payload else "-will")
                documented[(match.group(1), kind)] = set(payload)
    return documented


def history(station):
    """Every event and notice of the station's history, in id order, as (id, what)."""
    path = os.path.join(station.root, "data", "quorlan", "history.sqlite")
    with sqlite3.connect(path) as db:
        return db.execute("SELECT id, outcome FROM events UNION ALL SELECT id, kind FROM notices ORDER BY id").fetchall()


def events_station(broker, name, extra="", **options):
    settings = f"MqttBroker={broker.address}\r\nMqttTopic=quorlan/{name}\r\n" + extra
    s = Station(extra_settings=settings, **options)
    s.write_file("PROGS/FLANGE.CNC", FLANGE)
    s.write_file("PROGS/PLATE.CNC", PLATE)
    return s


def said(station, text):
    return [line for line in list(station.stdout_lines) if text in line]


def settle(station):
    """Until the history has not grown for a while (each part handed over holds the station for
    over a second, so scans sent faster wait their turn)."""
    wait_until_quiet(station, limit=240.0, size=lambda: len(history(station)))


def wait_acks(station, count, seconds):
    """Until the scanner has count "ACK"s in all."""
    deadline = time.time() + seconds
    while station.answers.count(b"ACK\r") < count and time.time() < deadline:
        station.read_answers(0.2)
    return station.answers.count(b"ACK\r")


class EventsTest(BrokersTest):

    def test_every_event_of_100_mixed_scans_arrives_in_order_with_the_fields_readme_documents(self):
        documented = documented_payloads()
        broker = self.broker()
        with Subscriber(broker) as subscriber, events_station(broker, "lathe-3") as s:
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 20)
            for scan in mixed_scans(random.Random(22), 100):
                s.scan(scan + "\r", quiet_ticks=QUIET)
            settle(s)
            s.stop_station()
            rows = history(s)
            self.assertTrue(wait_for(lambda: len(subscriber.events("quorlan/lathe-3")) == len(rows), 30),
                            f"{len(subscriber.events('quorlan/lathe-3'))} of {len(rows)} events arrived")
            events = subscriber.events("quorlan/lathe-3")
            self.assertEqual([m.payload["id"] for m in events], [row[0] for row in rows])
            self.assertEqual([m.payload.get("outcome") or m.payload["event"] for m in events], [row[1] for row in rows])
            self.assertEqual(events[0].payload["event"], "station-started")
            self.assertEqual(events[-1].payload["event"], "station-stopping")
            scans = [m for m in events if m.topic.endswith("/events/scan")]
            self.assertGreaterEqual(len(scans), 100)
            self.assertTrue(any(m.payload["kind"] == "2d" and m.payload["outcome"] == "queued" for m in scans))
            self.assertTrue(any(m.payload["outcome"] == "refused" and "Label not accepted" in m.payload["reason"]
                                for m in scans))
            for m in events:
                kind = (m.topic.split("/", 2)[2], m.payload["event"])
                self.assertIn(kind, documented, f"README shows no {kind}")
                self.assertEqual(set(m.payload), documented[kind], m)
            statuses = subscriber.on("/status")
            self.assertEqual(statuses[0].payload["state"], "online")
            self.assertEqual(set(statuses[0].payload), documented[("status", "online")])
            last = statuses[-1].payload
            self.assertEqual(last["state"], "offline")
            self.assertEqual(set(last), documented[("status", "offline")])
            self.assertEqual(last["today"]["queued"], sum(1 for row in rows if row[1] == "queued"))
            self.assertEqual(last["lastScan"]["id"], scans[-1].payload["id"])
            late = Subscriber(broker, "quorlan/+/status", "latecomer")
            self.assertTrue(wait_for(lambda: late.on("/status"), 5))
            self.assertTrue(late.on("/status")[0].retained)
            late.stop()

    def test_a_station_killed_is_offline_by_its_last_will_and_what_it_had_not_published_goes_out_after_a_restart(
            self):
        broker = self.broker()
        with Subscriber(broker) as subscriber, events_station(broker, "lathe-7") as s:
            def states():
                return [m.payload["state"] for m in subscriber.on("lathe-7/status")]

            def ids():
                return [m.payload["id"] for m in subscriber.events("quorlan/lathe-7")]

            def kill():
                s.process.send_signal(signal.SIGKILL)
                s.process.wait()

            def start():
                ready = s.stdout_lines.count("Ready.")
                s.start(wait_ready=False)
                self.assertTrue(wait_for(lambda: s.stdout_lines.count("Ready.") > ready, 20), s.stdout_lines)

            start()
            self.assertTrue(wait_for(lambda: states()[-1:] == ["online"], 20), states())
            kill()
            self.assertTrue(wait_for(lambda: states()[-1] == "offline", 10), states())
            self.assertEqual(set(subscriber.on("lathe-7/status")[-1].payload), {"state", "version", "control"})

            # Killed again while the broker is away: its scans' events were never published.
            broker.stop()
            start()
            for label in ("FLANGE", "PLATE", "FLANGE"):
                s.scan(label + "\r", quiet_ticks=QUIET)
            self.assertEqual(wait_acks(s, 3, 30), 3)
            kill()
            broker.start()
            start()
            self.assertTrue(wait_for(lambda: ids() == [row[0] for row in history(s)], 20),
                            f"{ids()} against {history(s)}")
            self.assertTrue(wait_for(lambda: states()[-1] == "online", 10), states())
            scans = [m.payload["scan"] for m in subscriber.events("quorlan/lathe-7") if m.topic.endswith("/scan")]
            self.assertEqual(scans, ["FLANGE", "PLATE", "FLANGE"])

    def test_the_scanners_port_lost_and_back_are_events(self):
        broker = self.broker()
        with Subscriber(broker) as subscriber, events_station(broker, "saw-2") as s:
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 20)
            s.unplug()
            s.wait_stdout(lambda line: "was lost" in line, 10)
            s.plug()
            s.wait_stdout(lambda line: "is open again" in line, 20)

            def names():
                return [m.payload["event"] for m in subscriber.events("quorlan/saw-2")]
            self.assertTrue(wait_for(lambda: names()[-2:] == ["port-lost", "port-back"], 10), names())
            lost = [m for m in subscriber.events("quorlan/saw-2") if m.payload["event"] == "port-lost"][0]
            self.assertIn(s.station_end, lost.payload["port"])
            self.assertTrue(lost.payload["reason"])

    def test_the_control_unreachable_and_back_are_events(self):
        broker = self.broker()
        with Subscriber(broker) as subscriber, events_station(broker, "press-4") as s:
            s.cnc_server = os.path.join(s.root, "cnc.sock")
            control = Control(s, s.cnc_server).start()
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 20)
            s.scan("FLANGE\r")
            self.assertEqual(wait_acks(s, 1, 20), 1)
            control.kill()
            s.scan("PLATE\r")

            def names():
                return [m.payload["event"] for m in subscriber.events("quorlan/press-4")]
            self.assertTrue(wait_for(lambda: "control-unreachable" in names(), 20), names())
            Control(s, s.cnc_server).start()
            s.scan("FLANGE\r")
            self.assertTrue(wait_for(lambda: "control-back" in names(), 20), names())
            unreachable = [m.payload for m in subscriber.events("quorlan/press-4")
                           if m.payload["event"] == "control-unreachable"][0]
            self.assertEqual(unreachable["control"], "local:" + s.cnc_server)
            self.assertTrue(unreachable["reason"].startswith("the CNC control at local:" + s.cnc_server), unreachable)
            self.assertEqual(names().count("control-unreachable"), 1, names())

    def test_a_broker_setting_that_is_no_address_is_said_and_mqtt_stays_off(self):
        with Station(extra_settings="MqttBroker=mqtt://broker\r\n") as s:
            s.write_file("PROGS/FLANGE.CNC", FLANGE)
            s.start()
            s.wait_stdout(lambda line: "MqttBroker \"mqtt://broker\" is not a broker's host:port" in line, 10)
            self.assertIn("MQTT events are off", said(s, "MqttBroker")[0])
            s.scan("FLANGE\r")
            self.assertEqual(s.acks(1.0), 1)


if __name__ == "__main__":
    unittest.main()
