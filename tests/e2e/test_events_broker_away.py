"""The station's MQTT events while the broker cannot be had, through the real station, a
pseudo-terminal scanner and real mosquitto brokers that the test starts on 127.0.0.1: the broker
stopped for 50 scans, after which all their events arrive in order; and the settings an installer
can get wrong (a wrong address, a refused password, the CA of another authority), each said once
while the station scans on and keeps trying, until it is mended."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from mqtt import Broker, BrokersTest, Certificates, Subscriber, free_port, wait_for  # noqa: E402
from station import Station  # noqa: E402
from test_events import FAILING, FLANGE, QUIET, RECOVERED, events_station, history, said, wait_acks  # noqa: E402


class BrokerAwayTest(BrokersTest):

    def test_the_broker_stopped_for_50_scans_then_all_their_events_arrive_in_order(self):
        broker = self.broker()
        with Subscriber(broker) as subscriber, events_station(broker, "mill-1") as s:
            s.start()
            s.wait_stdout(lambda line: line == "Ready.", 20)
            for _ in range(10):
                s.scan("FLANGE\r", quiet_ticks=QUIET)
            self.assertEqual(wait_acks(s, 10, 60), 10)
            self.assertTrue(wait_for(lambda: len(subscriber.events("quorlan/mill-1")) == 11, 20))
            broker.stop()
            for n in range(50):
                s.scan(("FLANGE" if n % 2 else "PLATE") + "\r", quiet_ticks=QUIET)
            self.assertEqual(wait_acks(s, 60, 120), 60, "scanning went on without the broker")
            # Said between scans, never inside one.
            s.wait_stdout(lambda line: FAILING in line, 10)
            time.sleep(3)
            self.assertEqual(len(said(s, FAILING)), 1, s.stdout_lines)
            broker.start()
            rows = history(s)
            self.assertTrue(wait_for(lambda: len(subscriber.events("quorlan/mill-1")) == len(rows), 40),
                            f"{len(subscriber.events('quorlan/mill-1'))} of {len(rows)} arrived")
            self.assertEqual([m.payload["id"] for m in subscriber.events("quorlan/mill-1")], [row[0] for row in rows])
            s.wait_stdout(lambda line: line == RECOVERED, 10)

    def test_bad_settings_are_said_once_the_station_scans_on_and_keeps_trying_until_they_are_mended(self):
        certificates = Certificates(os.path.join(self.root, "certificates"))
        secured = self.broker(user="lathe3", password="s3cret", certificates=certificates)
        nothing = free_port()
        tls = f"MqttBroker={secured.address}\r\nMqttCaFile=C:\\ca.pem\r\nMqttUser=lathe3\r\nMqttPasswordFile=C:\\password\r\n"
        right_ca, other_ca = open(certificates.ca).read(), open(certificates.other_ca).read()
        # name, settings, the files password and ca.pem, what is said, how it is mended
        cases = [
            ("wrong address", f"MqttBroker=127.0.0.1:{nothing}\r\n", "", "",
             f"no broker answers at 127.0.0.1:{nothing} (connection refused)",
             lambda s: self.brokers.append(Broker(self.root, port=nothing))),
            ("refused password", tls, "guess\n", right_ca, "refused the user name lathe3 or its password",
             lambda s: s.write_file("password", "s3cret\n")),
            ("CA of another authority", tls, "s3cret\n", other_ca, "certificate verify failed",
             lambda s: s.write_file("ca.pem", right_ca)),
        ]
        for name, settings, password, ca, reason, mend in cases:
            with self.subTest(name), Station(extra_settings=settings + "MqttTopic=quorlan/bad\r\n") as s:
                s.write_file("PROGS/FLANGE.CNC", FLANGE)
                s.write_file("password", password)
                s.write_file("ca.pem", ca)
                s.start()
                s.wait_stdout(lambda line: FAILING in line, 20)
                self.assertIn(reason, said(s, FAILING)[0])
                for _ in range(3):
                    s.scan("FLANGE\r", quiet_ticks=QUIET)
                self.assertEqual(wait_acks(s, 3, 20), 3)
                time.sleep(4)  # a few attempts more, none of them said
                self.assertEqual(len(said(s, FAILING)), 1, s.stdout_lines)
                mend(s)
                s.wait_stdout(lambda line: line == RECOVERED, 40)



if __name__ == "__main__":
    unittest.main()
