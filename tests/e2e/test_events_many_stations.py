"""Ten stations publish to one mosquitto broker at once, 100 scans each (20 in ./test): a subscriber
receives every scan's event, each station's under its own topic and in its own order, none lost or
doubled."""

import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from mqtt import BrokersTest, Subscriber, wait_for  # noqa: E402
from station import Station  # noqa: E402
from test_events import FLANGE, PLATE, history, wait_acks  # noqa: E402

STATIONS = 10
# Each part handed over holds its station for over a second, so 100 scans each take the stations
# two minutes side by side: CI runs them so (QUORLAN_EVENTS_SCANS=100, .ci/run). ./test, and the
# sanitizers' run of it, send 20 each, which meet the same interleaving at the broker.
SCANS = int(os.environ.get("QUORLAN_EVENTS_SCANS", "20"))


class ManyStationsTest(BrokersTest):
    def test_ten_stations_at_one_broker_each_with_all_its_events_in_its_own_order(self):
        broker = self.broker()
        stations = []
        try:
            with Subscriber(broker) as subscriber:
                for n in range(STATIONS):
                    s = Station(extra_settings=f"MqttBroker={broker.address}\r\nMqttTopic=quorlan/station-{n}\r\n")
                    s.write_file("PROGS/FLANGE.CNC", FLANGE)
                    s.write_file("PROGS/PLATE.CNC", PLATE)
                    stations.append(s)
                for s in stations:
                    s.start(wait_ready=False)
                for s in stations:
                    s.wait_stdout(lambda line: line == "Ready.", 60)

                def scan_all(s, n):
                    for i in range(SCANS):
                        s.scan(("FLANGE" if (i + n) % 3 else "PLATE") + "\r", quiet_ticks=5)
                    wait_acks(s, SCANS, 240)

                threads = [threading.Thread(target=scan_all, args=(s, n)) for n, s in enumerate(stations)]
                for thread in threads:
                    thread.start()
                for thread in threads:
                    thread.join()
                for n, s in enumerate(stations):
                    with self.subTest(station=n):
                        self.assertEqual(s.answers.count(b"ACK\r"), SCANS)
                        prefix = f"quorlan/station-{n}"
                        rows = history(s)
                        self.assertTrue(wait_for(lambda: len(subscriber.events(prefix)) == len(rows), 60),
                                        f"{len(subscriber.events(prefix))} of {len(rows)} arrived")
                        events = subscriber.events(prefix)
                        self.assertEqual([m.payload["id"] for m in events], [row[0] for row in rows])
                        scans = [m for m in events if m.topic.endswith("/events/scan")]
                        self.assertEqual(len(scans), SCANS)
                        self.assertTrue(all(m.payload["outcome"] == "queued" for m in scans))
                        # Each message once on the wire too, unless a connection broke meanwhile.
                        ids = [m.payload["id"] for m in subscriber.messages if m.topic.startswith(prefix + "/events/")]
                        self.assertEqual(len(ids), len(set(ids)))
        finally:
            for s in stations:
                s.stop()


if __name__ == "__main__":
    unittest.main()
