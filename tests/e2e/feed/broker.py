"""A real MQTT broker for the plant feed's tests: Debian's ``mosquitto`` on
127.0.0.1 at a free port, with its own configuration, log and (optionally)
password file and TLS listener in a temporary folder, plus a paho-mqtt
subscriber that records what arrives.

    with Broker(tls=True, users={"plant": "s3cret"}) as broker:
        sub = Subscriber(broker, "orrindel/#")
        ...
        broker.restart()            # same ports, same files
        broker.pause(); broker.resume()
        broker.subscribes_from("line3-laser2")

The certificates are made with ``openssl`` here (``Pki``): one CA and its
server certificate (names IP:127.0.0.1 and DNS:localhost unless told
otherwise), client certificates on demand, and ``other_ca()``: an unrelated
CA for the "wrong CA" case.

Use ``/usr/bin/python3`` (python3-paho-mqtt 1.6.1).
"""

import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import paho.mqtt.client as mqtt

# The window tests' harness: one rule for scaling timeouts.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui"))
from harness.common import timeout_scale as _scale  # noqa: E402

MOSQUITTO = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
MOSQUITTO_PASSWD = shutil.which("mosquitto_passwd") or "/usr/bin/mosquitto_passwd"
OPENSSL = shutil.which("openssl") or "/usr/bin/openssl"
HOST = "127.0.0.1"
# The system broker's port: never ours, a test must not talk to a real plant.
RESERVED_PORTS = {1883, 8883}




class BrokerError(RuntimeError):
    """The broker or a certificate could not be made, or something did not arrive."""


def free_port():
    """A TCP port on 127.0.0.1 nobody listens on right now."""
    while True:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.bind((HOST, 0))
            port = s.getsockname()[1]
        if port not in RESERVED_PORTS:
            return port


def port_open(port, host=HOST):
    try:
        with socket.create_connection((host, port), timeout=0.2):
            return True
    except OSError:
        return False


def _run(args, **kwargs):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)
    if result.returncode != 0:
        raise BrokerError("%s failed (%d): %s" % (" ".join(args), result.returncode,
                                                  result.stderr.decode(errors="replace")))
    return result


class Pki:
    """A CA and the certificates it signs, made with openssl in folder."""

    def __init__(self, folder, name="Orrindel Test CA"):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.name = name
        self.ca_key = os.path.join(folder, "ca.key")
        self.ca_cert = os.path.join(folder, "ca.crt")
        _run([OPENSSL, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
              "-days", "2", "-subj", "/CN=%s" % name,
              "-addext", "basicConstraints=critical,CA:TRUE",
              "-addext", "keyUsage=critical,keyCertSign,cRLSign",
              "-keyout", self.ca_key, "-out", self.ca_cert])
        self._serial = int(time.time() * 1000) & 0x7FFFFFFF

    def issue(self, stem, common_name, alt_names=(), client=False):
        """A key and a certificate signed by this CA; alt_names like
        "IP:127.0.0.1", "DNS:localhost". Returns (cert, key) paths."""
        key = os.path.join(self.folder, stem + ".key")
        csr = os.path.join(self.folder, stem + ".csr")
        cert = os.path.join(self.folder, stem + ".crt")
        ext = os.path.join(self.folder, stem + ".ext")
        _run([OPENSSL, "req", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256",
              "-subj", "/CN=%s" % common_name, "-keyout", key, "-out", csr])
        with open(ext, "w") as f:
            f.write("basicConstraints=CA:FALSE\n")
            f.write("keyUsage=critical,digitalSignature,keyEncipherment\n")
            f.write("extendedKeyUsage=%s\n" % ("clientAuth" if client else "serverAuth"))
            if alt_names:
                f.write("subjectAltName=%s\n" % ",".join(alt_names))
        self._serial += 1
        _run([OPENSSL, "x509", "-req", "-in", csr, "-CA", self.ca_cert, "-CAkey", self.ca_key,
              "-set_serial", str(self._serial), "-days", "2", "-sha256",
              "-extfile", ext, "-out", cert])
        os.chmod(key, 0o644)  # the broker may run as another user than the test
        return cert, key

    def server(self, alt_names=("IP:127.0.0.1", "DNS:localhost"), stem="server"):
        return self.issue(stem, "orrindel-test-broker", alt_names)

    def client(self, common_name, stem="client"):
        return self.issue(stem, common_name, client=True)


class Broker:
    """One mosquitto on 127.0.0.1 with its own folder.

    tls: also a TLS listener (``tls_port``) with a certificate from ``pki``
    (made here when not given) for ``server_names``; require_certificate:
    clients of the TLS listener must show a certificate of that CA.
    users: {name: password}; with it anonymous clients are refused.
    persistence: keep sessions and queued QoS 1 messages across a stop and
    start (saved at a clean stop).
    """

    def __init__(self, tls=False, users=None, persistence=False, pki=None,
                 server_names=("IP:127.0.0.1", "DNS:localhost"), require_certificate=False,
                 plain=True):
        self.folder = tempfile.mkdtemp(prefix="orrindel-broker-")
        os.chmod(self.folder, 0o755)
        self.tls = tls
        self.plain = plain
        self.users = dict(users or {})
        self.persistence = persistence
        self.require_certificate = require_certificate
        self.port = free_port() if plain else None
        self.tls_port = None
        self.pki = pki
        self.server_cert = self.server_key = None
        if tls:
            if self.pki is None:
                self.pki = Pki(os.path.join(self.folder, "pki"))
            # A CA shared with another broker keeps each broker's certificate
            # apart: a common file name would hand both the last one made.
            self.server_cert, self.server_key = self.pki.server(
                server_names, stem="server-%s" % os.path.basename(self.folder))
            self.tls_port = free_port()
            while self.tls_port == self.port:
                self.tls_port = free_port()
        self.config_path = os.path.join(self.folder, "mosquitto.conf")
        self.log_path = os.path.join(self.folder, "mosquitto.log")
        self.password_path = None
        self.proc = None
        self._write_files()

    # --- files ---

    def _write_files(self):
        lines = ["# made by tests/e2e/feed/broker.py",
                 "per_listener_settings false",
                 "persistence %s" % ("true" if self.persistence else "false"),
                 "log_dest file %s" % self.log_path,
                 "log_type all",
                 "log_timestamp true",
                 "log_timestamp_format %Y-%m-%dT%H:%M:%S",
                 "connection_messages true"]
        if self.persistence:
            lines += ["persistence_location %s/" % self.folder,
                      "persistence_file mosquitto.db",
                      "autosave_interval 0"]
        if os.geteuid() == 0:
            # Otherwise mosquitto drops to the "mosquitto" user and cannot
            # write the log in this folder.
            lines.append("user %s" % pwd.getpwuid(os.geteuid()).pw_name)
        if self.users:
            self.password_path = os.path.join(self.folder, "passwd")
            open(self.password_path, "w").close()
            for name, password in self.users.items():
                _run([MOSQUITTO_PASSWD, "-b", self.password_path, name, password])
            os.chmod(self.password_path, 0o600)
            lines += ["allow_anonymous false", "password_file %s" % self.password_path]
        else:
            lines.append("allow_anonymous true")
        if self.plain:
            lines.append("listener %d %s" % (self.port, HOST))
        if self.tls:
            lines += ["listener %d %s" % (self.tls_port, HOST),
                      "cafile %s" % self.pki.ca_cert,
                      "certfile %s" % self.server_cert,
                      "keyfile %s" % self.server_key,
                      "require_certificate %s" % ("true" if self.require_certificate
                                                  else "false")]
        with open(self.config_path, "w") as f:
            f.write("\n".join(lines) + "\n")

    @property
    def url(self):
        return "mqtt://%s:%d" % (HOST, self.port)

    def tls_url(self, host=HOST):
        return "mqtts://%s:%d" % (host, self.tls_port)

    # --- life cycle ---

    def start(self, timeout=10):
        if self.running():
            return self
        ports = [p for p in (self.port, self.tls_port) if p]
        taken = [p for p in ports if port_open(p)]
        if taken:
            # Someone else's listener would answer in our broker's place.
            raise BrokerError("port %s on %s is taken" % (taken, HOST))
        log = open(os.path.join(self.folder, "mosquitto.stderr"), "ab")
        try:
            self.proc = subprocess.Popen([MOSQUITTO, "-c", self.config_path],
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                         start_new_session=True)
        finally:
            log.close()
        deadline = time.monotonic() + timeout * _scale()
        while not all(port_open(p) for p in ports):
            if self.proc.poll() is not None:
                raise BrokerError("mosquitto exited (%s): %s" % (self.proc.returncode,
                                                                  self.stderr()))
            if time.monotonic() > deadline:
                self.stop()
                raise BrokerError("mosquitto did not listen on %s within %ss: %s"
                                  % (ports, timeout, self.stderr()))
            time.sleep(0.02)
        if self.proc.poll() is not None:
            raise BrokerError("mosquitto exited (%s): %s" % (self.proc.returncode, self.stderr()))
        return self

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self, timeout=10):
        """A clean stop (SIGTERM; with persistence the sessions are saved).
        The ports are free again when this returns."""
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.resume()  # a stopped process would not see SIGTERM
            self.proc.terminate()
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self.proc = None

    def kill(self):
        """The broker dies without a word (SIGKILL)."""
        if self.running():
            self.proc.kill()
            self.proc.wait(5)
        self.proc = None

    def restart(self, down_s=0.0):
        """Stop, stay down down_s seconds, start again on the same ports."""
        self.stop()
        if down_s:
            time.sleep(down_s)
        return self.start()

    def pause(self):
        """SIGSTOP: connections stay open, nothing is answered."""
        if self.running():
            os.kill(self.proc.pid, signal.SIGSTOP)

    def resume(self):
        if self.running():
            os.kill(self.proc.pid, signal.SIGCONT)

    def close(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()
        return False

    # --- what it logged ---

    def log(self):
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def stderr(self):
        try:
            with open(os.path.join(self.folder, "mosquitto.stderr"), errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def log_lines(self, containing):
        return [line for line in self.log().splitlines() if containing in line]

    def subscribes_from(self, client_id):
        """The log's "Received SUBSCRIBE from <client_id>" lines."""
        return self.log_lines("Received SUBSCRIBE from %s" % client_id)

    def connects_from(self, client_id):
        """The log's accepted connections of client_id ("New client connected
        from ... as <client_id>")."""
        return [line for line in self.log_lines("New client connected")
                if " as %s " % client_id in line + " "]

    def wait_for_log(self, text, timeout=10):
        deadline = time.monotonic() + timeout * _scale()
        while True:
            lines = self.log_lines(text)
            if lines:
                return lines
            if time.monotonic() > deadline:
                raise BrokerError("the broker never logged %r; its log ends:\n%s"
                                  % (text, "\n".join(self.log().splitlines()[-30:])))
            time.sleep(0.05)


class Message:
    __slots__ = ("topic", "payload", "retained", "qos", "at", "wall")

    def __init__(self, topic, payload, retained, qos):
        self.topic = topic
        self.payload = payload
        self.retained = retained
        self.qos = qos
        self.at = time.monotonic()
        self.wall = time.time()

    def json(self):
        return json.loads(self.payload.decode("utf-8"))

    def __repr__(self):
        return "Message(%r, %r, retained=%s, qos=%d)" % (
            self.topic, self.payload[:300], self.retained, self.qos)


class Subscriber:
    """A paho-mqtt client subscribed to topic (QoS 1) that keeps every
    message with the time it arrived. With session (a fixed client id and
    clean_session false) the broker queues QoS 1 messages for it while it is
    away; paho reconnects by itself after the broker comes back."""

    def __init__(self, broker, topic, client_id=None, session=False, tls=False,
                 ca_file=None, username=None, password=None, timeout=10, host=HOST):
        self.broker = broker
        self.topic = topic
        self.client_id = client_id or "feed-test-sub-%d-%d" % (os.getpid(), id(self) % 100000)
        self.messages = []
        self._cond = threading.Condition()
        self._subscribed = threading.Event()
        self.client = mqtt.Client(client_id=self.client_id, clean_session=not session,
                                  protocol=mqtt.MQTTv311)
        self.client.reconnect_delay_set(min_delay=0.1, max_delay=0.5)
        if username is not None:
            self.client.username_pw_set(username, password)
        if tls:
            self.client.tls_set(ca_certs=ca_file or broker.pki.ca_cert)
        self.client.on_connect = self._on_connect
        self.client.on_subscribe = lambda *a: self._subscribed.set()
        self.client.on_message = self._on_message
        port = broker.tls_port if tls else broker.port
        self.client.connect(host, port, keepalive=30)
        self.client.loop_start()
        if not self._subscribed.wait(timeout * _scale()):
            self.close()
            raise BrokerError("the test subscriber %s was not subscribed to %s within %ss"
                              % (self.client_id, topic, timeout))

    def _on_connect(self, client, userdata, flags, rc):
        if rc != 0:
            return
        # After a reconnection to a broker that lost the session (no
        # persistence) the subscription is gone; one it kept stays, and a
        # second SUBSCRIBE would only bring the retained copies again.
        if not flags.get("session present"):
            client.subscribe(self.topic, qos=1)
        else:
            self._subscribed.set()

    def _on_message(self, client, userdata, msg):
        with self._cond:
            self.messages.append(Message(msg.topic, bytes(msg.payload), bool(msg.retain),
                                         msg.qos))
            self._cond.notify_all()

    def wait_subscribed(self, timeout=10):
        """After a broker restart: wait until the subscription is made again."""
        self._subscribed.clear()
        if not self._subscribed.wait(timeout * _scale()):
            raise BrokerError("the test subscriber did not subscribe again within %ss" % timeout)

    def received(self, topic=None):
        with self._cond:
            return [m for m in self.messages if topic is None or m.topic == topic]

    def wait_for(self, predicate, timeout=10, topic=None, after=0, what=None):
        """The first message (on topic, beyond the first `after` of them) for
        which predicate(message) holds."""
        deadline = time.monotonic() + timeout * _scale()
        with self._cond:
            while True:
                chosen = [m for m in self.messages if topic is None or m.topic == topic]
                for m in chosen[after:]:
                    if predicate is None or predicate(m):
                        return m
                left = deadline - time.monotonic()
                if left <= 0:
                    raise BrokerError("no %s within %ss on %s; received:\n  %s" % (
                        what or "matching message", timeout, topic or self.topic,
                        "\n  ".join(repr(m) for m in self.messages[-25:])))
                self._cond.wait(min(left, 0.2))

    def wait_count(self, topic, count, timeout=10):
        """Wait until at least count messages arrived on topic; returns them."""
        self.wait_for(lambda m: True, timeout, topic=topic, after=count - 1,
                      what="%d messages" % count)
        return self.received(topic)

    def close(self):
        try:
            self.client.disconnect()
        except Exception:
            pass
        self.client.loop_stop()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False
