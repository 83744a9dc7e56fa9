"""The plant feed end to end: the real program with a [feed] section (or
--feed options) publishing to a real mosquitto (broker.py), the simulator on
its first port, a paho-mqtt subscriber recording what arrives, and the
window read through the accessibility bus (tests/e2e/ui's harness).

    cd tests/e2e/feed && /usr/bin/python3 -m unittest -v test_plant_feed
    /usr/bin/python3 -m unittest -v test_plant_feed.FeedAgainstSimulator

What the feed publishes is compared with what the window shows: the alarm
lines of the message list, the status card's values, the feed's own lines.
"""

import ctypes
import os
import re
import shlex
import signal
import socket
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "ui"))

import orrindel_ui  # noqa: E402
from orrindel_ui import HarnessError, Orrindel, UITestCase, poll, scaled  # noqa: E402
from broker import Broker, Pki, Subscriber, free_port  # noqa: E402

CONNECTED = ("工厂数据推送已连接: ", "Plant feed connected: ")
INTERRUPTED = ("工厂数据推送中断: ", "Plant feed interrupted: ")
SETTING_ERROR = ("工厂数据推送设置错误: ", "Plant feed setting error: ")
LIGHT_THEME = ("亮色主题", "Light")
CN, EN = 0, 1

STATUS_PERIOD_MS = 200
# What the window gets of every status record (DataProcess::devInfoToJson):
# the feed passes each record on whole.
STATUS_KEYS = {
    "alarmState", "intDac", "intPwmDuty", "intPwmFreq", "intLaserOnMs", "ambientHumi",
    "ambientTemp", "pumpCurrent", "redCurrent", "inletWaterTemp", "outletWaterTemp",
    "opticalVals", "maxPower", "chipShortId", "mode", "framGood", "rtcGood",
    "laserOutputting", "qbhLink", "waterLink", "emergencyStop", "bleState", "redPowerLevel",
    "qcwDuty", "qcwFreq", "qcwEnable", "pdAlarmThes", "humiHigh", "pumpCurrentAlarmThes",
    "inletWaterTempLow", "inletWaterTempHigh", "outletWaterTempLow", "outletWaterTempHigh",
    "rtcTime", "db25Power"}
# The alarm table of the operator's manual: bit index, English, Chinese.
ALARM_BITS = {
    0: ("ExcessiveHumidity", "湿度过高"),
    1: ("BleNotReady", "蓝牙未就绪"),
    4: ("QBH_Disconnection", "QBH断开"),
    5: ("WaterCoolingDisconnection", "水冷断开"),
    8: ("InletWaterTemperatureHigh", "进水温度高"),
    9: ("InletWaterTemperatureLow", "进水温度低"),
    10: ("OutletWaterTemperatureHigh", "出水温度高"),
    11: ("OutletWaterTemperatureLow", "出水温度低"),
    12: ("PD_Error", "PD错误"),
    13: ("CurrentError", "电流错误"),
    14: ("EmergencyStop", "急停"),
}
CLEARED = ("AlarmCleared", "报警解除")
ALARM_LINE = re.compile(r"^\[\d\d:\d\d:\d\d\]> \[([0-9A-Fa-f]+)->([0-9A-Fa-f]+)\] (.*)$")
LINE_TIME = re.compile(r"^\[\d\d:\d\d:\d\d\]> ")
SIM_VERSION = "V2.3.1-QCW"
SIM_ID = "SN240403"


def host_id():
    """The feed's default id: the host name's first label, other characters
    than A-Za-z0-9_- turned into "-"."""
    label = socket.gethostname().split(".")[0]
    return re.sub(r"[^A-Za-z0-9_-]", "-", label) or "laser"


def alarm_texts(word):
    """(English, Chinese) of an alarm word as the message list words it."""
    bits = [b for b in sorted(ALARM_BITS) if word & (1 << b)]
    if word == 0:
        return CLEARED
    return (", ".join(ALARM_BITS[b][0] for b in bits), ", ".join(ALARM_BITS[b][1] for b in bits))


def now_ms():
    return int(time.time() * 1000)


def close_window(ui):
    """Close the program's window as a window manager's close button does
    (WM_DELETE_WINDOW; the private desktop has no window manager)."""
    ids = ui.desktop.xdotool("search", "--onlyvisible", "--pid", ui.program.pid).split()
    if not ids:
        raise HarnessError("no visible X window of pid %s" % ui.program.pid)

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class XEvent(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(ui.desktop.display.encode())
    if not dpy:
        raise HarnessError("cannot open display %s" % ui.desktop.display)
    try:
        protocols = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        delete = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        for wid in ids:
            event = XEvent()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = int(wid)
            event.xclient.message_type = protocols
            event.xclient.format = 32
            event.xclient.l[0] = delete
            x11.XSendEvent(dpy, int(wid), 0, 0, ctypes.byref(event))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


class FeedCase(UITestCase):
    """One broker (broker.py) and the program with a [feed] section for it;
    a subscriber to <prefix>/<id>/# from before the program starts, so it
    sees everything the program publishes."""

    language = "cn"
    sim_args = ("--period", str(STATUS_PERIOD_MS))
    prefix = "plant-e2e"
    feed_id = "line3-laser2"
    keepalive_s = 2
    broker_options = {}
    broker_up_at_start = True

    # --- set-up ---

    def make_broker(self):
        broker = Broker(**self.broker_options)
        self.addCleanup(broker.close)
        return broker

    def feed_url(self):
        return self.broker.url

    def feed_settings(self):
        """The [feed] keys of config.ini (None: left out)."""
        return {"broker": self.feed_url(), "prefix": self.prefix, "id": self.feed_id,
                "keepalive_s": self.keepalive_s}

    def config_text(self):
        lines = ["[General]", "language=%s" % self.language, "theme=%s" % self.theme, "",
                 "[feed]"]
        lines += ["%s=%s" % (k, v) for k, v in self.feed_settings().items() if v is not None]
        return "\n".join(lines) + "\n"

    def launcher(self):
        """A command the program is run through (command-line options), or None."""
        return None

    def subscribe(self):
        """The subscriber of the whole test, made before the program starts."""
        return Subscriber(self.broker, self.base + "/#")

    def before_program(self):
        """What happens between the broker and the program starting."""
        if self.broker_up_at_start:
            self.broker.start()
            self.sub = self.subscribe()
            self.addCleanup(self.sub.close)

    def setUp(self):
        self.broker = self.make_broker()
        self.sub = None
        self.started_ms = now_ms()
        self.before_program()
        self.ui = Orrindel(language=self.language, theme=self.theme, sim_args=self.sim_args,
                           config_text=self.config_text(), launcher=self.launcher())
        self.addCleanup(self._finish)
        self.ui.start(stop_on_error=False)

    def _finish(self):
        try:
            if self._failed():
                stem = orrindel_ui._slug(self.id())
                folder = orrindel_ui.artifacts_dir()
                with open(os.path.join(folder, stem + ".broker.log"), "w") as f:
                    f.write(self.broker.log())
                if self.sub is not None:
                    with open(os.path.join(folder, stem + ".feed.txt"), "w") as f:
                        for m in self.sub.received():
                            f.write("%.3f %s%s %s\n" % (m.wall, m.topic, " (retained)"
                                                        if m.retained else "",
                                                        m.payload.decode(errors="replace")))
        finally:
            super()._finish()

    # --- the feed ---

    @property
    def base(self):
        return "%s/%s" % (self.prefix, self.feed_id)

    def topic(self, name):
        return "%s/%s" % (self.base, name)

    def published(self, name, sub=None):
        return [m.json() for m in (sub or self.sub).received(self.topic(name))]

    def events(self):
        return self.published("events")

    def wait_event(self, predicate, timeout=15, what="event", after=0):
        return self.sub.wait_for(lambda m: predicate(m.json()), timeout,
                                 topic=self.topic("events"), after=after, what=what).json()

    def wait_state(self, predicate, timeout=15, after=0, what="state"):
        return self.sub.wait_for(lambda m: predicate(m.json()), timeout,
                                 topic=self.topic("state"), after=after, what=what)

    def assert_ts(self, payload, what):
        self.assertIsInstance(payload.get("ts"), int, "%s: ts %r" % (what, payload))
        self.assertGreaterEqual(payload["ts"], self.started_ms - 1000, what)
        self.assertLessEqual(payload["ts"], now_ms() + 1000, what)

    def assert_events_complete(self, events):
        """seq goes up by one from event to event: nothing lost, nothing
        twice, nothing dropped."""
        self.assertFalse([e for e in events if e.get("kind") == "dropped"],
                         "events were dropped")
        seqs = [e["seq"] for e in events]
        self.assertTrue(seqs, "no events")
        self.assertEqual(seqs, list(range(seqs[0], seqs[0] + len(seqs))),
                         "event seq with gaps, repeats or out of order")
        for e in events:
            self.assert_ts(e, "event %r" % e)

    # --- the window ---

    def wait_feed_line(self, kind, since=None, timeout=20):
        """The feed's next line of a kind (either language); it must be in
        the window's language. Returns the text after the kind's words."""
        line = self.ui.wait_for_message(lambda l: l is not None and any(t in l for t in kind),
                                        timeout=timeout, since=since)
        words = kind[CN if self.language == "cn" else EN]
        self.assertIn(words, line, "the feed's line is not in the window's language")
        return line.split(words, 1)[1]

    def feed_lines(self, kind):
        return [l for l in self.ui.message_lines() if any(t in l for t in kind)]

    def connect(self):
        self.ui.connect_simulator()
        self.ui.sim.wait_for_stderr("client connected")
        self.ui.wait_for_live_values()
        # The version reply to coming online is an event too: waited for,
        # so that the events a test makes next follow it.
        self.ui.wait_for_message(lambda l: SIM_VERSION in (l or ""), timeout=10)

    def start_again(self):
        """The program started anew in the same folder (same settings)."""
        ui = self.ui
        ui.program.start()
        ui._app = ui._window = None
        ui._cards = {}
        ui.wait_for_window(60)

    def alarm_step(self, command, word, previous):
        """A console command that turns the alarm word from previous to word:
        the message list's line for it and the feed's event agree."""
        lines = self.ui.message_lines()
        events = len(self.sub.received(self.topic("events")))
        alarms = len(self.sub.received(self.topic("alarm")))
        self.ui.sim.console(command)
        line = self.ui.wait_for_message(
            lambda l: bool(ALARM_LINE.match(l or "")) and int(ALARM_LINE.match(l).group(2), 16)
            == word, timeout=10, since=lines)
        shown_from, _, shown_text = ALARM_LINE.match(line).groups()
        self.assertEqual(int(shown_from, 16), previous, line)
        event = self.wait_event(lambda e: e.get("kind") == "alarm", after=events,
                                what="alarm event to %#x" % word)
        self.assertEqual(event["to"], word, event)
        english, chinese = alarm_texts(word)
        self.assertEqual(event["from"], previous, event)
        self.assertEqual(event["text_cn"], shown_text, "the event's Chinese text against %r" % line)
        self.assertEqual(event["text_cn"], chinese, event)
        self.assertEqual(event["text"], english, event)
        retained = self.sub.wait_for(None, topic=self.topic("alarm"), after=alarms,
                                     what="alarm topic with word %#x" % word).json()
        self.assertEqual(retained["word"], word, retained)
        return event, retained


    def assert_clean_exit(self, session):
        ui = self.ui
        before = len(self.sub.received(self.topic("state")))
        closed_at = time.monotonic()
        close_window(ui)
        offline = self.wait_state(lambda s: s.get("online") is False, timeout=5, after=before)
        self.assertLess(offline.at - closed_at, scaled(1.5),
                        "the offline state came %.1f s after the window closed"
                        % (offline.at - closed_at))
        payload = offline.json()
        self.assertEqual(set(payload), {"online", "session", "ts"}, payload)
        self.assertEqual(payload["session"], session)
        self.assert_ts(payload, "offline state")
        self.assertEqual(ui.program.proc.wait(scaled(10)), 0)


class FeedAgainstSimulator(FeedCase):
    """The program connected to the simulator: its state, info, every status
    record and an alarm sequence on the feed, against what the window shows."""

    def test_alarm_sequence_status_records_and_retained_copies_match_the_window(self):
        ui = self.ui
        ui.wait_for_message(CONNECTED[CN] + self.broker.url)
        first = self.wait_state(lambda s: s.get("online") is True).json()
        self.assertEqual(first["connected"], False, first)
        self.assertIsNone(first["port"], first)
        self.assertEqual(first["device_online"], False, first)
        self.assertIsInstance(first["session"], int, first)
        session = first["session"]
        info = self.sub.wait_for(None, topic=self.topic("info")).json()
        self.assertIsInstance(info["program_version"], str)
        self.assertTrue(info["program_version"])
        self.assert_ts(info, "info")

        self.connect()
        online = self.wait_state(lambda s: s.get("device_online") is True).json()
        self.assertEqual(online["connected"], True, online)
        self.assertEqual(online["port"], ui.sim.line, online)
        self.assertEqual(online["session"], session)
        link = self.wait_event(lambda e: e.get("kind") == "link", what="link event")
        self.assertEqual((link["event"], link["port"]), ("connected", ui.sim.line), link)
        ui.wait_for_message("设备版本:" + SIM_VERSION)
        info = self.sub.wait_for(lambda m: m.json().get("device_version") is not None,
                                 topic=self.topic("info")).json()
        self.assertEqual((info["device_version"], info["device_id"], info["max_power_w"]),
                         (SIM_VERSION, SIM_ID, 1500), info)
        # The version reply is a device message: raw as sent, text as shown.
        version = self.wait_event(lambda e: e.get("kind") == "message"
                                  and SIM_VERSION in e.get("raw", ""), what="version message")
        self.assert_message_shown(version)

        # Every status record: counted over a stretch of time, without gaps.
        counted_from = len(self.sub.received(self.topic("status")))
        started = time.monotonic()
        time.sleep(scaled(3.0))
        counted = len(self.sub.received(self.topic("status"))) - counted_from
        expected = (time.monotonic() - started) * 1000 / STATUS_PERIOD_MS
        self.assertGreaterEqual(counted, 0.75 * expected, "status records went missing")
        self.assertLessEqual(counted, 1.25 * expected + 2, "status records published twice")

        # Forced values reach the card and the feed's record alike.
        ui.sim.console("inlet 23.4")
        ui.sim.console("outlet 31.7")
        ui.sim.console("humidity 42")
        ui.wait_for_status("进水温度", "23.4℃", timeout=10)
        ui.wait_for_status("出水温度", "31.7℃", timeout=10)
        ui.wait_for_status("环境湿度", "42%Rh", timeout=10)
        self.assert_status_matches_card()

        # The alarm sequence: stopping alarms, two at once, a warning, cleared.
        previous = 0
        for command, word in (("chiller open", 0x8020), ("qbh open", 0x8030),
                              ("chiller close", 0x8010), ("qbh close", 0),
                              ("estop on", 0xC000), ("estop off", 0),
                              ("ble fail", 0x0002), ("ble ok", 0)):
            with self.subTest(command=command):
                _, retained = self.alarm_step(command, word, previous)
                self.assert_alarm_payload(retained, word)
                if word == 0x8020:
                    ui.wait_for_status("水冷状态", "断开", timeout=10)
                    self.assert_status_matches_card()
            previous = word
        # One message per change of the word (a word 0 before the first
        # alarm is allowed: the retained copy says "no alarm" from the start).
        alarm_words = [a["word"] for a in self.published("alarm")]
        changes = [0x8020, 0x8030, 0x8010, 0, 0xC000, 0, 0x0002, 0]
        self.assertIn(alarm_words, (changes, [0] + changes))

        lines = ui.message_lines()
        ui.sim.console("send PLANT-E2E free text")
        ui.wait_for_message("PLANT-E2E free text", since=lines)
        sent = self.wait_event(lambda e: e.get("kind") == "message"
                               and "PLANT-E2E" in e.get("raw", ""), what="sent message")
        self.assertEqual(sent["raw"], "PLANT-E2E free text")
        self.assert_message_shown(sent)

        # Statuses: every one from the first, in order, whole.
        statuses = self.published("status")
        seqs = [s["seq"] for s in statuses]
        self.assertEqual(seqs, list(range(seqs[0], seqs[0] + len(seqs))), "status seq gaps")
        for s in statuses:
            self.assertEqual(set(s["record"]), STATUS_KEYS, s)
            self.assert_ts(s, "status")
        self.assertTrue(all(m.retained is False for m in self.sub.received()),
                        "a live subscriber was handed a retained copy")

        # A subscriber that joins late gets the retained copies, no events.
        late = Subscriber(self.broker, self.base + "/#")
        self.addCleanup(late.close)
        for name in ("state", "info", "status", "alarm"):
            got = late.wait_for(None, topic=self.topic(name), what="retained " + name)
            self.assertTrue(got.retained, name)
            if name != "status":
                self.assertEqual(got.payload, self.sub.received(self.topic(name))[-1].payload,
                                 "the retained %s is not the newest" % name)
        self.assertEqual(late.received(self.topic("alarm"))[0].json()["word"], 0)
        newest = late.received(self.topic("status"))[0].json()
        self.assertGreaterEqual(newest["seq"], seqs[-1])
        time.sleep(scaled(0.5))
        self.assertEqual(late.received(self.topic("events")), [], "events are not retained")

        # Disconnect: a link event and the state; then the window closes.
        states = len(self.sub.received(self.topic("state")))
        ui.click(ui.wait_for_button(ui.DISCONNECT))
        closed = self.wait_event(lambda e: e.get("kind") == "link" and e.get("event") != "connected",
                                 what="link event after Disconnect")
        self.assertEqual((closed["event"], closed["port"]), ("closed", ui.sim.line), closed)
        self.wait_state(lambda s: s.get("connected") is False, after=states)
        events = self.events()
        self.assert_events_complete(events)
        alarms = [(e["from"], e["to"]) for e in events if e["kind"] == "alarm"]
        self.assertEqual(alarms, [(0, 0x8020), (0x8020, 0x8030), (0x8030, 0x8010), (0x8010, 0),
                                  (0, 0xC000), (0xC000, 0), (0, 0x0002), (0x0002, 0)])

        self.assert_clean_exit(session)

        # The client id is the feed id; it only publishes.
        self.assertTrue(self.broker.connects_from(self.feed_id), self.broker.log()[-3000:])
        self.assertEqual(self.broker.subscribes_from(self.feed_id), [])

    # --- checks ---

    def assert_message_shown(self, event):
        self.assert_ts(event, "message event")
        shown = [LINE_TIME.sub("", l) for l in self.ui.message_lines()]
        self.assertIn(event["text"], shown, "the event's text is not a line of the list")

    def assert_alarm_payload(self, payload, word):
        self.assert_ts(payload, "alarm")
        expected = [{"bit": b, "text": ALARM_BITS[b][0], "text_cn": ALARM_BITS[b][1]}
                    for b in sorted(ALARM_BITS) if word & (1 << b)]
        self.assertEqual(payload["alarms"], expected, payload)

    def assert_status_matches_card(self):
        ui = self.ui
        card = {t: ui.status_item(t).description
                for t in ("设备型号", "设备编号", "进水温度", "出水温度", "环境湿度", "水冷状态", "泵浦电流")}
        record = self.sub.received(self.topic("status"))[-1].json()["record"]
        self.assertEqual(card["设备型号"], "%dW" % record["maxPower"])
        self.assertEqual(card["设备编号"], record["chipShortId"])
        self.assertEqual(card["进水温度"], "%.1f℃" % record["inletWaterTemp"])
        self.assertEqual(card["出水温度"], "%.1f℃" % record["outletWaterTemp"])
        self.assertEqual(card["环境湿度"], "%d%%Rh" % record["ambientHumi"])
        self.assertEqual(card["水冷状态"], "正常" if record["waterLink"] else "断开")
        self.assertEqual(card["泵浦电流"], " ".join("%.1fA" % a for a in record["pumpCurrent"]))


class FeedCommandLineAndLastWill(FeedCase):
    """--feed, --feed-prefix and --feed-id win over config.ini; SIGKILL
    leaves the broker's Last Will; a program started again is a new session
    whose clean exit says so at once."""

    prefix = "cli-plant"
    feed_id = "cli-laser"

    def feed_settings(self):
        # Nobody listens on the file's broker: the feed must not try it.
        return {"broker": "mqtt://127.0.0.1:%d" % free_port(), "prefix": "file-plant",
                "id": "file-laser", "keepalive_s": self.keepalive_s}

    def subscribe(self):
        return Subscriber(self.broker, "#")

    def launcher(self):
        options = " ".join(shlex.quote(a) for a in (
            "--feed", self.broker.url, "--feed-prefix", self.prefix, "--feed-id", self.feed_id))
        return lambda workdir: ["/bin/sh", "-c", 'exec "$1" ' + options, "sh"]

    def test_options_override_the_file_and_sigkill_leaves_the_last_will(self):
        ui = self.ui
        ui.wait_for_message(CONNECTED[CN] + self.broker.url)
        state = self.wait_state(lambda s: s.get("online") is True).json()
        session = state["session"]
        self.assertEqual([m.topic for m in self.sub.received()
                          if not m.topic.startswith(self.base + "/")], [])
        self.assertTrue(self.broker.connects_from(self.feed_id))

        before = len(self.sub.received(self.topic("state")))
        killed_at = time.monotonic()
        os.kill(ui.program.pid, signal.SIGKILL)
        ui.program.proc.wait(10)
        will = self.wait_state(lambda s: s.get("online") is False, timeout=3 * self.keepalive_s,
                               after=before)
        self.assertLessEqual(will.at - killed_at, scaled(1.5 * self.keepalive_s),
                             "the Last Will came %.1f s after the kill (keepalive %d s)"
                             % (will.at - killed_at, self.keepalive_s))
        self.assertEqual(will.json(), {"online": False, "session": session})

        # Started again in the same folder, with the same options.
        self.start_again()
        again = self.wait_state(lambda s: s.get("online") is True, after=before + 1).json()
        self.assertGreater(again["session"], session, "a new run is a new session")
        self.assert_clean_exit(again["session"])
        self.assertEqual(self.broker.subscribes_from(self.feed_id), [])


    def test_a_theme_switch_hands_the_feed_to_the_new_copy(self):
        """The new copy takes the options along and publishes under a new
        session; the old copy's goodbye (or Last Will) comes before it, so
        the state that stays on the broker is the new copy's."""
        ui = self.ui
        ui.wait_for_message(CONNECTED[CN] + self.broker.url)
        self.connect()
        first = self.wait_state(lambda s: s.get("online") is True and s.get("connected")).json()
        before = len(self.sub.received(self.topic("state")))
        ui.click(ui.wait_for_button(LIGHT_THEME[CN]))
        ui.follow_restart(timeout=60)
        second = self.wait_state(
            lambda s: s.get("online") is True and s.get("connected")
            and s["session"] != first["session"], timeout=30, after=before).json()
        time.sleep(scaled(2.0 * self.keepalive_s))
        last = self.sub.received(self.topic("state"))[-1].json()
        self.assertEqual((last["online"], last["session"]), (True, second["session"]))
        with Subscriber(self.broker, self.topic("state")) as late:
            retained = late.wait_for(None, topic=self.topic("state")).json()
        self.assertEqual((retained["online"], retained["session"]), (True, second["session"]))
        reopened = [e for e in self.events() if e.get("session") == second["session"]]
        self.assertEqual([(e["kind"], e.get("event"), e["seq"]) for e in reopened][:1],
                         [("link", "reconnected", 1)])


class OutageCase(FeedCase):
    """The broker is down when the program starts. It keeps the test
    subscriber's session across its restarts (persistence), so the
    subscriber misses nothing the program publishes before the subscriber
    itself is back."""

    broker_options = {"persistence": True}

    def before_program(self):
        self.broker.start()
        self.sub = Subscriber(self.broker, self.base + "/#", session=True,
                              client_id="feed-test-session-%d" % os.getpid())
        self.addCleanup(self.sub.close)
        self.broker.stop()

    def make_events(self, steps):
        """Console commands, each waited for in the message list."""
        for command, shown in steps:
            lines = self.ui.message_lines()
            self.ui.sim.console(command)
            self.ui.wait_for_message(shown, timeout=10, since=lines)

    def summary(self, events):
        out = []
        for e in events:
            if e["kind"] == "link":
                out.append(("link", e["event"]))
            elif e["kind"] == "alarm":
                out.append(("alarm", e["to"]))
            elif e["kind"] == "message":
                out.append(("message", "version" if SIM_VERSION in e["raw"] else e["raw"]))
            else:
                out.append((e["kind"], None))
        return out


class FeedBrokerOutages(OutageCase):
    """Events made while the broker is away go out after it is back, in
    order, none twice; status records of the outage are not replayed."""

    def test_absent_at_start_then_restarted_mid_stream_loses_and_repeats_nothing(self):
        ui = self.ui
        self.assertRegex(self.wait_feed_line(INTERRUPTED), r"^\S")
        self.connect()
        ui.wait_for_message("设备版本:" + SIM_VERSION)
        self.make_events([("chiller open", "[0->8020]"), ("send OUTAGE one", "OUTAGE one"),
                          ("chiller close", "[8020->0]")])
        time.sleep(scaled(3.0))
        self.assertEqual(len(self.feed_lines(INTERRUPTED)), 1,
                         "one line for the broker's absence, not one per retry")
        self.assertEqual(self.feed_lines(CONNECTED), [])

        self.broker.start()
        self.wait_feed_line(CONNECTED)
        self.wait_event(lambda e: e.get("kind") == "alarm" and e.get("to") == 0, timeout=20,
                        what="the events made while the broker was absent")
        time.sleep(scaled(0.5))
        events = self.events()
        self.assert_events_complete(events)
        self.assertEqual(self.summary(events),
                         [("link", "connected"), ("message", "version"), ("alarm", 0x8020),
                          ("message", "OUTAGE one"), ("alarm", 0)])
        state = self.wait_state(lambda s: s.get("device_online") is True).json()
        self.assertEqual(state["port"], ui.sim.line)

        # Mid-stream: one event while up; the broker goes; three more; it comes back.
        self.make_events([("chiller open", "[0->8020]")])
        self.wait_event(lambda e: e.get("kind") == "alarm" and e.get("to") == 0x8020
                        and e["seq"] > events[-1]["seq"])
        time.sleep(scaled(0.5))  # its acknowledgement is back: nothing in flight
        statuses_before = self.published("status")
        lines = ui.message_lines()
        stopped_ms = now_ms()
        self.broker.stop()
        self.wait_feed_line(INTERRUPTED, since=lines)
        self.make_events([("send OUTAGE two", "OUTAGE two"), ("chiller close", "[8020->0]"),
                          ("send OUTAGE three", "OUTAGE three")])
        time.sleep(scaled(1.0))
        lines = ui.message_lines()
        restarted_ms = now_ms()
        self.broker.start()
        self.wait_feed_line(CONNECTED, since=lines)
        self.wait_event(lambda e: "OUTAGE three" in e.get("raw", ""), timeout=20)
        time.sleep(scaled(1.0))  # anything sent twice would be here by now
        events = self.events()
        self.assert_events_complete(events)
        self.assertEqual(self.summary(events)[5:],
                         [("alarm", 0x8020), ("message", "OUTAGE two"), ("alarm", 0),
                          ("message", "OUTAGE three")])

        # Status is not replayed: nothing recorded while the broker was down.
        replayed = [s for s in self.published("status")
                    if stopped_ms + 300 < s["ts"] < restarted_ms - 300]
        self.assertEqual(replayed, [], "status records of the outage were sent afterwards")
        after = [s["seq"] for s in self.published("status")[len(statuses_before):]]
        self.assertTrue(after, "no status after the broker came back")
        self.assertGreater(after[0], statuses_before[-1]["seq"], "status seq went back")
        self.assertEqual(self.broker.subscribes_from(self.feed_id), [])


class FeedEventsKeptAcrossARestart(OutageCase):
    """Events that could not go out before the program exited go out from
    the next run, before that run's own."""

    def test_events_of_a_closed_run_go_out_from_the_next(self):
        ui = self.ui
        self.wait_feed_line(INTERRUPTED)
        self.connect()
        self.make_events([("chiller open", "[0->8020]"), ("send KEPT one", "KEPT one")])
        close_window(ui)
        self.assertEqual(ui.program.proc.wait(scaled(10)), 0)
        self.start_again()
        self.connect()
        self.make_events([("send KEPT two", "KEPT two")])
        self.broker.start()
        self.wait_event(lambda e: "KEPT two" in e.get("raw", ""), timeout=30)
        time.sleep(scaled(1.0))
        events = self.events()
        kinds = self.summary(events)
        self.assertEqual(kinds[:4], [("link", "connected"), ("message", "version"),
                                     ("alarm", 0x8020), ("message", "KEPT one")],
                         "the first run's events come first, in order")
        # The second run begins with its own link event; a "closed" one of
        # the first run's exit may come before it.
        second = [i for i, k in enumerate(kinds) if k == ("link", "connected")]
        self.assertEqual(len(second), 2, kinds)
        self.assertIn(kinds[4:second[1]], ([], [("link", "closed")]))
        self.assert_events_complete(events[:second[1]])
        self.assert_events_complete(events[second[1]:])
        # The chiller is still open: the new run's first record is its first
        # alarm, from 0.
        rest = events[second[1]:]
        self.assertIn(("alarm", 0x8020), self.summary(rest))
        self.assertEqual([e["from"] for e in rest if e["kind"] == "alarm"][0], 0)
        self.assertIn(("message", "KEPT two"), self.summary(rest))


class TlsCase(FeedCase):
    """mqtts with the test's own CA, a user name and a password file (its
    first line). The brokers run for the whole class."""

    language = "en"
    sim_args = ()
    password = "plant-pw-7"

    @classmethod
    def setUpClass(cls):
        cls.tls_broker = Broker(tls=True, plain=False, users={"plant": cls.password})
        cls.pki = cls.tls_broker.pki
        cls.other_ca = Pki(os.path.join(cls.tls_broker.folder, "other"), "Unrelated CA")
        # A certificate for "localhost" only: 127.0.0.1 is another name.
        cls.named_broker = Broker(tls=True, plain=False, pki=cls.pki,
                                  server_names=("DNS:localhost",),
                                  users={"plant": cls.password})
        # Clients must show a certificate of the test's CA.
        cls.cert_broker = Broker(tls=True, plain=False, pki=cls.pki, require_certificate=True,
                                 users={"plant": cls.password})
        cls.client_cert, cls.client_key = cls.pki.client("laser-client")
        cls.tls_broker.start()
        cls.named_broker.start()
        cls.cert_broker.start()

    @classmethod
    def tearDownClass(cls):
        cls.cert_broker.close()
        cls.named_broker.close()
        cls.tls_broker.close()

    def make_broker(self):
        return self.tls_broker

    def before_program(self):
        pass

    def password_file(self, password):
        path = os.path.join(self.broker.folder, "pw-%s-%d" % (self._testMethodName, len(password)))
        with open(path, "w") as f:
            f.write(password + "\nsecond line, not part of the password\n")
        return path

    def feed_settings(self):
        return {"broker": self.broker.tls_url(), "username": "plant",
                "password_file": self.password_file(self.password),
                "ca_file": self.pki.ca_cert,
                "id": self._testMethodName.replace("test_", "tls-")[:40]}

    def tls_subscriber(self, topic):
        return Subscriber(self.broker, topic, tls=True, username="plant", password=self.password)


class FeedTls(TlsCase):
    def feed_settings(self):
        settings = super().feed_settings()
        if self._testMethodName == "test_client_certificate_connects":
            settings.update(broker=self.cert_broker.tls_url(), cert_file=self.client_cert,
                            key_file=self.client_key)
        else:
            del settings["id"]  # the host name gives it, and the prefix is the default
        return settings

    def test_client_certificate_connects(self):
        self.ui.wait_for_message(CONNECTED[EN] + self.cert_broker.tls_url())
        self.assertTrue(self.cert_broker.connects_from(self.feed_settings()["id"]))
        self.assertEqual(self.feed_lines(INTERRUPTED), [])

    def test_right_ca_name_and_password_connect_with_the_default_prefix_and_id(self):
        ui = self.ui
        ui.wait_for_message(CONNECTED[EN] + self.broker.tls_url())
        with self.tls_subscriber("orrindel/%s/#" % host_id()) as s:
            state = s.wait_for(None, topic="orrindel/%s/state" % host_id()).json()
            self.assertIs(state["online"], True)
        self.assertTrue(self.broker.connects_from(host_id()))
        self.assertEqual(self.feed_lines(INTERRUPTED), [])


class FeedTlsRefused(TlsCase):
    """Each refusal is one line with its reason, also while the program
    keeps trying; nothing reaches the broker."""

    def feed_settings(self):
        settings = super().feed_settings()
        name = self._testMethodName
        if name == "test_wrong_ca":
            settings["ca_file"] = self.other_ca.ca_cert
        elif name == "test_wrong_password":
            settings["password_file"] = self.password_file("not-" + self.password)
        elif name == "test_wrong_host_name":
            settings["broker"] = self.named_broker.tls_url("127.0.0.1")
        return settings

    def attempts(self, broker):
        return len(broker.log_lines("New connection from"))

    def assert_refused(self, broker, reason_pattern, host="127.0.0.1"):
        ui = self.ui
        self.assertRegex(self.wait_feed_line(INTERRUPTED, timeout=30), reason_pattern)
        attempts = self.attempts(broker)
        poll(lambda: self.attempts(broker) >= attempts + 2, 40,
             message="the program did not try again")
        self.assertEqual(len(self.feed_lines(INTERRUPTED)), 1, ui.message_lines())
        self.assertEqual(self.feed_lines(CONNECTED), [])
        feed_id = self.feed_settings()["id"]
        self.assertEqual(broker.connects_from(feed_id), [])
        with Subscriber(broker, "#", tls=True, username="plant", password=self.password,
                        host=host) as s:
            time.sleep(scaled(0.5))
            self.assertEqual([m.topic for m in s.received() if feed_id in m.topic], [])

    def test_wrong_ca(self):
        self.assert_refused(self.tls_broker, re.compile(r"certif|issuer|trust|verif", re.I))

    def test_wrong_host_name(self):
        # The test's own subscriber uses the name the certificate carries.
        self.assert_refused(self.named_broker, re.compile(r"host|name", re.I), host="localhost")

    def test_wrong_password(self):
        self.assert_refused(self.tls_broker, re.compile(r"auth|password|user|refused", re.I))


class FeedSettingErrors(FeedCase):
    """A bad setting is one line; the program runs on without the feed and
    never reaches the broker."""

    language = "en"
    sim_args = ()
    BAD = {"test_unknown_scheme": {"broker": "ftp://x"},
           "test_id_with_topic_characters": {"id": "line3/laser#2"}}

    def feed_settings(self):
        settings = super().feed_settings()
        settings.update(self.BAD[self._testMethodName])
        return settings

    def subscribe(self):
        return Subscriber(self.broker, "#")

    def assert_one_setting_line_and_no_feed(self, reason_pattern):
        ui = self.ui
        self.assertRegex(self.wait_feed_line(SETTING_ERROR), reason_pattern)
        self.connect()
        time.sleep(scaled(2.0))
        self.assertEqual(len(self.feed_lines(SETTING_ERROR)), 1, ui.message_lines())
        self.assertEqual(self.feed_lines(CONNECTED) + self.feed_lines(INTERRUPTED), [])
        # The only client the broker had is the test subscriber (the
        # fixture's readiness probe opens a socket but sends no CONNECT).
        self.assertEqual(len(self.broker.log_lines("New client connected")), 1,
                         self.broker.log())
        self.assertEqual(self.sub.received(), [])

    def test_unknown_scheme(self):
        self.assert_one_setting_line_and_no_feed(re.compile(r"broker|ftp", re.I))

    def test_id_with_topic_characters(self):
        self.assert_one_setting_line_and_no_feed(re.compile(r"\bid\b", re.I))


if __name__ == "__main__":
    unittest.main()
