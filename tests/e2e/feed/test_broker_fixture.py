"""The broker fixture on its own, checked with Debian's mosquitto_pub and
mosquitto_sub: when a feed test fails, this tells whether the broker, its
certificates or its password file were at fault rather than the program.

    cd tests/e2e/feed && /usr/bin/python3 -m unittest -v test_broker_fixture
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from broker import (HOST, Broker, BrokerError, Pki, Subscriber, port_open)  # noqa: E402

PUB = "/usr/bin/mosquitto_pub"
SUB = "/usr/bin/mosquitto_sub"


def pub(port, topic, message, *extra, timeout=10):
    return subprocess.run([PUB, "-h", HOST, "-p", str(port), "-t", topic, "-m", message,
                           "-q", "1", *extra], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)


def sub_one(port, topic, *extra, wait_s=3):
    """One message of topic (the retained copy), or the failed run."""
    return subprocess.run([SUB, "-h", HOST, "-p", str(port), "-t", topic, "-C", "1",
                           "-W", str(wait_s), "-v", *extra],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=wait_s + 10)


class PlainBroker(unittest.TestCase):
    def setUp(self):
        self.broker = Broker().start()
        self.addCleanup(self.broker.close)

    def test_listens_only_on_its_own_port_and_keeps_retained_messages(self):
        self.assertNotIn(self.broker.port, (1883, 8883))
        self.assertEqual(pub(self.broker.port, "t/a", "one", "-r").returncode, 0)
        got = sub_one(self.broker.port, "t/a")
        self.assertEqual(got.returncode, 0, got.stderr)
        self.assertEqual(got.stdout.decode().strip(), "t/a one")

    def test_log_names_the_client_of_each_subscribe(self):
        sub_one(self.broker.port, "t/#", "-i", "fixture-sub", wait_s=1)
        pub(self.broker.port, "t/b", "x", "-i", "fixture-pub")
        self.broker.wait_for_log("Received SUBSCRIBE from fixture-sub")
        self.assertEqual(len(self.broker.subscribes_from("fixture-sub")), 1)
        self.assertEqual(self.broker.subscribes_from("fixture-pub"), [])
        self.assertTrue(self.broker.connects_from("fixture-pub"), self.broker.log())

    def test_subscriber_sees_order_retain_flag_and_comes_back_after_a_restart(self):
        pub(self.broker.port, "t/kept", "old", "-r")
        with Subscriber(self.broker, "t/#") as s:
            s.wait_for(lambda m: m.topic == "t/kept", what="the retained copy")
            for i in range(20):
                pub(self.broker.port, "t/live", str(i))
            live = s.wait_count("t/live", 20)
            self.assertEqual([m.payload for m in live], [str(i).encode() for i in range(20)])
            self.assertEqual([m.retained for m in s.received("t/kept")], [True])
            self.assertFalse(any(m.retained for m in live))

            port = self.broker.port
            self.broker.restart()
            self.assertEqual(self.broker.port, port)
            s.wait_subscribed()
            pub(port, "t/live", "after")
            s.wait_for(lambda m: m.payload == b"after", topic="t/live")

    def test_stop_frees_the_port_and_pause_holds_messages_until_resumed(self):
        self.broker.stop()
        self.assertFalse(port_open(self.broker.port))
        self.broker.start()
        with Subscriber(self.broker, "t/#") as s:
            self.broker.pause()
            child = subprocess.Popen([PUB, "-h", HOST, "-p", str(self.broker.port), "-t", "t/p",
                                      "-m", "held", "-q", "1"])
            time.sleep(0.5)
            self.assertEqual(s.received("t/p"), [], "a stopped broker passed a message on")
            self.broker.resume()
            s.wait_for(None, topic="t/p")
            self.assertEqual(child.wait(10), 0)


class BrokerKeepsSessions(unittest.TestCase):
    def test_queued_qos1_messages_survive_a_clean_restart(self):
        with Broker(persistence=True) as broker:
            s = Subscriber(broker, "q/#", client_id="fixture-session", session=True)
            self.addCleanup(s.close)
            broker.stop()
            broker.start()
            # Published before the subscriber is back: the broker holds it.
            self.assertEqual(pub(broker.port, "q/x", "queued").returncode, 0)
            s.wait_for(lambda m: m.payload == b"queued", topic="q/x", timeout=15)


class PasswordBroker(unittest.TestCase):
    def setUp(self):
        self.broker = Broker(users={"plant": "right-one"}).start()
        self.addCleanup(self.broker.close)

    def test_right_password_in_wrong_password_and_anonymous_out(self):
        port = self.broker.port
        self.assertEqual(pub(port, "p/a", "1", "-u", "plant", "-P", "right-one").returncode, 0)
        wrong = pub(port, "p/a", "1", "-u", "plant", "-P", "wrong")
        self.assertNotEqual(wrong.returncode, 0)
        self.assertIn(b"not authorised", wrong.stderr.lower().replace(b"authorized", b"authorised"))
        self.assertNotEqual(pub(port, "p/a", "1").returncode, 0)
        with Subscriber(self.broker, "p/#", username="plant", password="right-one") as s:
            pub(port, "p/b", "2", "-u", "plant", "-P", "right-one")
            s.wait_for(None, topic="p/b")


class TlsBroker(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.broker = Broker(tls=True).start()
        cls.other = Pki(os.path.join(cls.broker.folder, "other-pki"), "Unrelated CA")

    @classmethod
    def tearDownClass(cls):
        cls.broker.close()

    def tls_pub(self, host, ca, *extra):
        return subprocess.run([PUB, "-h", host, "-p", str(self.broker.tls_port), "-t", "s/a",
                               "-m", "1", "--cafile", ca, *extra],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)

    def test_right_ca_connects_by_ip_and_by_name(self):
        for host in ("127.0.0.1", "localhost"):
            with self.subTest(host=host):
                done = self.tls_pub(host, self.broker.pki.ca_cert)
                self.assertEqual(done.returncode, 0, done.stderr)

    def test_wrong_ca_is_refused(self):
        done = self.tls_pub("127.0.0.1", self.other.ca_cert)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn(b"TLS error", done.stderr)

    def test_plain_client_on_the_tls_port_gets_nothing_through(self):
        done = subprocess.run([PUB, "-h", HOST, "-p", str(self.broker.tls_port), "-t", "s/a",
                               "-m", "1"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=15)
        self.assertNotEqual(done.returncode, 0)

    def test_paho_subscriber_over_tls(self):
        with Subscriber(self.broker, "s/#", tls=True) as s:
            self.tls_pub("127.0.0.1", self.broker.pki.ca_cert)
            s.wait_for(None, topic="s/a")


class TlsNames(unittest.TestCase):
    def test_certificate_for_another_name_fails_the_host_check(self):
        # Only the IP in the certificate: "localhost" does not match it.
        with Broker(tls=True, server_names=("IP:127.0.0.1",)) as broker:
            ok = subprocess.run([PUB, "-h", "127.0.0.1", "-p", str(broker.tls_port), "-t", "n",
                                 "-m", "1", "--cafile", broker.pki.ca_cert],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
            self.assertEqual(ok.returncode, 0, ok.stderr)
            bad = subprocess.run([PUB, "-h", "localhost", "-p", str(broker.tls_port), "-t", "n",
                                  "-m", "1", "--cafile", broker.pki.ca_cert],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
            self.assertNotEqual(bad.returncode, 0)

    def test_client_certificate_required(self):
        with Broker(tls=True, require_certificate=True) as broker:
            cert, key = broker.pki.client("orrindel-test")
            args = [PUB, "-h", "127.0.0.1", "-p", str(broker.tls_port), "-t", "c", "-m", "1",
                    "--cafile", broker.pki.ca_cert]
            run = lambda *extra: subprocess.run(args + list(extra), stdout=subprocess.PIPE,  # noqa: E731
                                                stderr=subprocess.PIPE, timeout=10)
            self.assertEqual(run("--cert", cert, "--key", key).returncode, 0)
            self.assertNotEqual(run().returncode, 0)


class Errors(unittest.TestCase):
    def test_a_taken_port_is_reported_not_hidden(self):
        with Broker() as first:
            second = Broker()
            second.port = first.port
            second._write_files()
            self.addCleanup(second.close)
            with self.assertRaises(BrokerError):
                second.start(timeout=3)


if __name__ == "__main__":
    unittest.main()
