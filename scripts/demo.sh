#!/usr/bin/env bash
# The demo: sets up (scripts/setup.sh), builds only the program and the
# simulator, starts the controller simulator on a pseudo-terminal and the
# program with that port first in its port list. Closing the program's window
# ends both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --build build --target orrindel orrindel-sim

for binary in build/bin/orrindel-sim build/bin/orrindel; do
    if [ ! -x "$binary" ]; then
        echo "demo: $binary was not built" >&2
        exit 1
    fi
done

# Without a display the window cannot be shown: run on a virtual one instead.
run_gui=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "demo: no display (DISPLAY is not set) and xvfb-run is missing: cannot show the window" >&2
        exit 1
    fi
    echo "demo: no display (DISPLAY is not set): running on a virtual X display; the window" >&2
    echo "demo: is not visible there. Stop the demo with Ctrl-C." >&2
    run_gui=(xvfb-run -a -s "-screen 0 1920x1080x24")
fi

sim_output=$(mktemp)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -f "$sim_output"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulator prints its port as its first line, then runs until killed.
build/bin/orrindel-sim >"$sim_output" &
sim_pid=$!

port=""
for _ in $(seq 100); do
    if [ "$(wc -l <"$sim_output")" -ge 1 ]; then
        port=$(head -n 1 "$sim_output")
        break
    fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "demo: the simulator did not report its port" >&2
    exit 1
fi
echo "demo: simulator on $port (first in the port list; press Connect)"

# Copies of the program running from this folder. A theme switch ends the
# program after starting a fresh copy of it, which is not our child.
program=$(readlink -f build/bin/orrindel)
program_running() {
    local proc
    for proc in /proc/[0-9]*; do
        if [ "$(readlink "$proc/exe" 2>/dev/null)" = "$program" ] &&
            [ "$(readlink "$proc/cwd" 2>/dev/null)" = "$PWD" ]; then
            return 0
        fi
    done
    return 1
}

# The working directory holds the program's config.ini.
status=0
ORRINDEL_EXTRA_PORTS="$port" "${run_gui[@]}" build/bin/orrindel || status=$?
while program_running; do
    sleep 1
done
exit "$status"
