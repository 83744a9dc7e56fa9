#!/usr/bin/env bash
# The fleet benchmark of the plant feed (docs/performance.md): a Mosquitto of
# its own on 127.0.0.1 at a free port, the subscriber that checks the events
# and times the status records (bench/feed_fleet_subscriber.py), then
# bench_feed_fleet with LASERS feeds for SECONDS. Builds nothing: build
# bench_feed_fleet first (cmake --build build --target bench_feed_fleet).
#
#   scripts/feed-fleet.sh [SECONDS] [LASERS]      # defaults 60 and 200
#   BUILD_DIR=build-x scripts/feed-fleet.sh
#   BROKER_CONF='set_tcp_nodelay true' scripts/feed-fleet.sh   # more broker settings
#
# Exit status 0 when every event arrived once and in order.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
seconds=${1:-60}
lasers=${2:-200}
bench="$dir/bench/bench_feed_fleet"
mosquitto=${MOSQUITTO:-/usr/sbin/mosquitto}
python=/usr/bin/python3
[ -x "$bench" ] || { echo "no $bench: build the target bench_feed_fleet" >&2; exit 2; }
[ -x "$mosquitto" ] || { echo "no $mosquitto" >&2; exit 2; }

run=$(mktemp -d /tmp/feed-fleet.XXXXXX)
broker_pid=
subscriber_pid=
cleanup() {
    [ -n "$subscriber_pid" ] && kill "$subscriber_pid" 2>/dev/null || true
    if [ -n "$broker_pid" ]; then
        kill -CONT "$broker_pid" 2>/dev/null || true
        kill "$broker_pid" 2>/dev/null || true
        wait "$broker_pid" 2>/dev/null || true
    fi
    rm -rf "$run"
}
trap cleanup EXIT

# A free port, never the system broker's.
port=$("$python" -c '
import socket
while True:
    s = socket.socket(); s.bind(("127.0.0.1", 0)); p = s.getsockname()[1]; s.close()
    if p not in (1883, 8883): print(p); break')
{
    echo "listener $port 127.0.0.1"
    echo "allow_anonymous true"
    echo "persistence false"
    echo "log_dest file $run/mosquitto.log"
    # As root mosquitto would switch to the user "mosquitto", who may not
    # write into this folder.
    if [ "$(id -u)" = 0 ]; then echo "user root"; fi
    if [ -n "${BROKER_CONF:-}" ]; then echo "$BROKER_CONF"; fi
} > "$run/mosquitto.conf"
"$mosquitto" -c "$run/mosquitto.conf" > "$run/mosquitto.out" 2>&1 &
broker_pid=$!
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

"$python" bench/feed_fleet_subscriber.py --port "$port" --ready "$run/ready" \
    --expected "$run/expected" > "$run/subscriber.txt" 2>&1 &
subscriber_pid=$!
for _ in $(seq 100); do
    [ -f "$run/ready" ] && break
    sleep 0.1
done
[ -f "$run/ready" ] || { cat "$run/subscriber.txt" >&2; exit 1; }

echo "mosquitto $("$mosquitto" -h 2>/dev/null | head -1 | awk '{print $3}'), port $port;" \
     "$lasers lasers for $seconds s; load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" --port "$port" --lasers "$lasers" --seconds "$seconds" --broker-pid "$broker_pid" \
    --expected "$run/expected"
status=0
wait "$subscriber_pid" || status=$?
subscriber_pid=
cat "$run/subscriber.txt"
exit "$status"
