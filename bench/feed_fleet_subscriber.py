#!/usr/bin/python3
"""The plant's consumer in the fleet benchmark (scripts/feed-fleet.sh):
subscribes to <prefix>/+/events (QoS 1) and <prefix>/+/status, then checks
that every laser's events arrived exactly once and in order (seq 1, 2, ...
without gaps or repeats) and measures the status latency: the record's `ts`
(the feed's clock, UTC ms, same machine) to its arrival here.

    feed_fleet_subscriber.py --port P --ready FILE --expected FILE [--prefix fleet]

--ready is written once subscribed; --expected ("<id> <events>" a line) is
written by the benchmark when its run is over. The figures go to stdout;
the exit status is 1 when an event was lost, repeated or out of order.

Use /usr/bin/python3 (Debian's python3-paho-mqtt 1.6.1).
"""

import argparse
import collections
import json
import os
import sys
import threading
import time

import paho.mqtt.client as mqtt


def quantile(values, q):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--prefix", default="fleet")
    parser.add_argument("--ready", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--wait", type=float, default=15.0,
                        help="seconds to wait for missing events once the run is over")
    args = parser.parse_args()

    lock = threading.Lock()
    events = collections.defaultdict(list)  # id -> seqs in arrival order
    dropped_notices = collections.Counter()
    latencies = []  # ms
    statuses = collections.Counter()
    subscribed = threading.Event()

    def on_connect(client, userdata, flags, rc):
        client.subscribe([("%s/+/events" % args.prefix, 1), ("%s/+/status" % args.prefix, 0)])

    def on_subscribe(client, userdata, mid, granted):
        subscribed.set()

    def on_message(client, userdata, msg):
        arrived = time.time() * 1000.0
        laser, kind = msg.topic.split("/")[1:3]
        payload = json.loads(msg.payload)
        with lock:
            if kind == "status":
                # A retained copy from before the subscription is no arrival.
                if not msg.retain:
                    statuses[laser] += 1
                    latencies.append(arrived - payload["ts"])
            elif kind == "events":
                if "seq" in payload:
                    events[laser].append(int(payload["seq"]))
                else:
                    dropped_notices[laser] += 1

    client = mqtt.Client(client_id="fleet-subscriber", clean_session=True)
    client.on_connect = on_connect
    client.on_subscribe = on_subscribe
    client.on_message = on_message
    client.connect("127.0.0.1", args.port, keepalive=30)
    client.loop_start()
    if not subscribed.wait(10):
        print("subscriber: no subscription", file=sys.stderr)
        return 2
    with open(args.ready, "w") as f:
        f.write("ready\n")

    while not os.path.exists(args.expected):
        time.sleep(0.2)
    expected = {}
    with open(args.expected) as f:
        for line in f:
            laser, count = line.split()
            expected[laser] = int(count)

    def complete():
        with lock:
            return all(len(set(events.get(l, []))) >= n for l, n in expected.items())

    deadline = time.time() + args.wait
    while not complete() and time.time() < deadline:
        time.sleep(0.2)
    time.sleep(1.0)  # late repeats would come now
    client.loop_stop()
    client.disconnect()

    lost = duplicates = out_of_order = unexpected = 0
    with lock:
        for laser, n in expected.items():
            seqs = events.get(laser, [])
            seen = set(seqs)
            lost += sum(1 for s in range(1, n + 1) if s not in seen)
            duplicates += len(seqs) - len(seen)
            unexpected += sum(1 for s in seen if s < 1 or s > n)
            # In order: each first arrival follows the one before.
            firsts = []
            for s in seqs:
                if s not in firsts:
                    firsts.append(s)
            out_of_order += sum(1 for a, b in zip(firsts, firsts[1:]) if b != a + 1)
        total = sum(expected.values())
        received = sum(len(v) for v in events.values())
        print("subscriber: %d lasers, %d events expected, %d received; lost %d, duplicates %d, "
              "out of order %d, unexpected seq %d, dropped notices %d"
              % (len(expected), total, received, lost, duplicates, out_of_order, unexpected,
                 sum(dropped_notices.values())))
        print("subscriber: %d status records from %d lasers; latency ts to arrival "
              "p50 %.1f ms, p99 %.1f ms, max %.1f ms (ts has 1 ms steps)"
              % (sum(statuses.values()), len(statuses), quantile(latencies, 0.5),
                 quantile(latencies, 0.99), max(latencies) if latencies else float("nan")))
    return 1 if lost or duplicates or out_of_order or unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
