#!/usr/bin/env bash
# Pictures of the real window in both themes and both languages:
#   scripts/screenshots.sh OUTDIR
# writes OUTDIR/dark-cn.png, dark-en.png, light-cn.png and light-en.png.
#
# Each picture comes from a fresh run of build/bin/orrindel on a private
# virtual display (Xvfb, its own D-Bus session and accessibility bus; nothing
# shows on your screen) with the simulator build/bin/orrindel-sim first in the
# port list. When the window has a Connect button ("连接" / "Connect"), the
# script picks the simulator's port, presses Connect and waits until the
# simulator's values show before taking the picture.
#
# Environment: ORRINDEL_BIN, ORRINDEL_SIM (the binaries, default build/bin),
# SCREENSHOT_SIM_ARGS (simulator options; default "--mode external --analog 60
# --gate": the laser emits 60 % of its power, so every value and curve moves;
# set it empty for an idle laser, or e.g. "--chiller-open" for an alarm),
# SCREENSHOT_SETTLE (seconds of live data before the picture, default 4),
# ORRINDEL_E2E_TIMEOUT_SCALE (multiplies every timeout).
set -euo pipefail

if [ $# -ne 1 ] || [ "$1" = "-h" ] || [ "$1" = "--help" ]; then
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    [ $# -eq 1 ] && exit 0 || exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
outdir=$1
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

export ORRINDEL_BIN=${ORRINDEL_BIN:-$root/build/bin/orrindel}
export ORRINDEL_SIM=${ORRINDEL_SIM:-$root/build/bin/orrindel-sim}
for binary in "$ORRINDEL_BIN" "$ORRINDEL_SIM"; do
    if [ ! -x "$binary" ]; then
        echo "screenshots: $binary was not built (cmake --build build)" >&2
        exit 1
    fi
done
for tool in Xvfb xdotool import dbus-daemon /usr/libexec/at-spi-bus-launcher; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshots: $tool is missing (scripts/setup.sh installs it)" >&2
        exit 1
    fi
done

# Debian's Python: the accessibility bindings (python3-pyatspi) live there.
export PYTHONDONTWRITEBYTECODE=1
exec /usr/bin/python3 - "$root/tests/e2e/ui" "$outdir" <<'PYTHON'
import os
import shlex
import sys
import time

sys.path.insert(0, sys.argv[1])
import orrindel_ui  # noqa: E402

outdir = sys.argv[2]
sim_args = shlex.split(os.environ.get("SCREENSHOT_SIM_ARGS",
                                      "--mode external --analog 60 --gate"))
settle = float(os.environ.get("SCREENSHOT_SETTLE", "4"))
failures = 0

for theme in ("dark", "light"):
    for language in ("cn", "en"):
        name = "%s-%s.png" % (theme, language)
        path = os.path.join(outdir, name)
        ui = orrindel_ui.Orrindel(language=language, theme=theme, sim_args=sim_args)
        try:
            ui.start(stop_on_error=False)
            note = "not connected: the window has no Connect button"
            if ui.connect_simulator():
                try:
                    ui.wait_for_live_values()
                    note = "connected to the simulator on %s" % ui.sim.port
                except orrindel_ui.HarnessError as error:
                    note = "connected, but no live values showed: %s" % str(error)[:300]
                    failures += 1
                # Let the charts gather some samples.
                time.sleep(orrindel_ui.scaled(settle))
            else:
                # Let the colour animation of the start finish.
                time.sleep(orrindel_ui.scaled(1.0))
            ui.screenshot(path)
            print("screenshots: %s (%s)" % (path, note), flush=True)
        except Exception as error:
            failures += 1
            print("screenshots: %s failed: %s" % (name, error), file=sys.stderr, flush=True)
            try:
                saved = ui.save_artifacts(outdir, "failed-" + name[:-4])
                print("screenshots: left %s" % ", ".join(saved), file=sys.stderr)
            except Exception as inner:
                print("screenshots: no artifacts: %s" % inner, file=sys.stderr)
        finally:
            ui.stop()

sys.exit(1 if failures else 0)
PYTHON
