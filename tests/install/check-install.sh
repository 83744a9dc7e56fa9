#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && B || fail" is meant: fail unless both hold
# The installed program, end to end.
#
#   check-install.sh --build BUILD_DIR   cmake --install BUILD_DIR into a temporary
#                                        prefix, then check that prefix
#   check-install.sh --prefix DIR        check a tree installed already, e.g. the
#                                        Debian package unpacked with
#                                        `dpkg -x orrindel_*.deb ROOT` (DIR = ROOT/usr)
#
# 1. The files: program, simulator and the desktop entry's start command in
#    bin/; the manual, the simulator's guide and the fonts' copyright and
#    licence in share/doc/orrindel/; the desktop entry (desktop-file-validate
#    when installed, package desktop-file-utils); the icons in
#    share/icons/hicolor/; nothing outside bin/ and share/.
# 2. The program started as its desktop entry starts it (Exec= through PATH,
#    HOME a fresh folder) on a private Xvfb, with the installed simulator's
#    port in ORRINDEL_EXTRA_PORTS: its window "Orrindel" must appear, its
#    config.ini must land in ~/.config/orrindel and nowhere else, and asked
#    to close as a window manager asks (WM_DELETE_WINDOW) it must end with
#    exit code 0. The simulator must end with 0 on SIGTERM and remove its link.
#
# Needs Xvfb, xdotool and python3 (scripts/setup.sh installs them).
# ORRINDEL_KEEP_INSTALL_TEST=1 keeps the temporary folder for a look.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cmake=${CMAKE:-cmake}
python=/usr/bin/python3
[ -x "$python" ] || python=python3
window_timeout=${ORRINDEL_WINDOW_TIMEOUT:-90}

build_dir="" prefix=""
case ${1:-} in
    --build) build_dir=${2:?--build needs the build folder} ;;
    --prefix) prefix=${2:?--prefix needs the installed folder} ;;
    *) sed -n '3,/^set -euo/p' "$0" | sed '$d' >&2; exit 2 ;;
esac

tmp=$(mktemp -d "${TMPDIR:-/tmp}/orrindel-install-test.XXXXXX")
xvfb_pid="" sim_pid="" prog_pid=""

stop_pid() {  # pid: SIGTERM, SIGKILL after 5 s; reaps it
    local pid=$1 i
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    stop_pid "$prog_pid"
    stop_pid "$sim_pid"
    stop_pid "$xvfb_pid"
    if [ -n "${ORRINDEL_KEEP_INSTALL_TEST:-}" ]; then
        echo "kept $tmp"
    else
        rm -rf "$tmp"
    fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
ok() { echo "ok   $*"; }

show_log() {  # title file
    echo "--- $1 ($2):" >&2
    tail -n 40 "$2" >&2 2>/dev/null || true
    echo "---" >&2
}

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/setup.sh)"
done

# --- 1. Install ----------------------------------------------------------------
if [ -n "$build_dir" ]; then
    prefix=$tmp/prefix
    if ! "$cmake" --install "$build_dir" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
        show_log "cmake --install" "$tmp/install.log"
        fail "cmake --install $build_dir failed (is everything built? cmake --build $build_dir)"
    fi
    ok "cmake --install $build_dir --prefix <tmp>"
fi
prefix=$(cd "$prefix" && pwd)

# --- 2. The files ----------------------------------------------------------------
for program in orrindel orrindel-sim orrindel-desktop; do
    [ -f "$prefix/bin/$program" ] && [ -x "$prefix/bin/$program" ] ||
        fail "bin/$program is missing or not executable"
done
ok "bin/orrindel, bin/orrindel-sim, bin/orrindel-desktop"

doc=$prefix/share/doc/orrindel
for file in manual.html simulator.md fonts-copyright.txt fonts-LICENSE-Apache-2.0.txt; do
    [ -s "$doc/$file" ] || fail "share/doc/orrindel/$file is missing or empty"
done
grep -q '<meta charset="utf-8">' "$doc/manual.html" && grep -q '<style>' "$doc/manual.html" &&
    grep -q '</html>' "$doc/manual.html" ||
    fail "share/doc/orrindel/manual.html is not the generated self-contained page"
if [ -f "$source_dir/docs/simulator.md" ]; then
    cmp -s "$doc/simulator.md" "$source_dir/docs/simulator.md" ||
        fail "share/doc/orrindel/simulator.md differs from docs/simulator.md"
fi
grep -qi 'apache' "$doc/fonts-copyright.txt" ||
    fail "share/doc/orrindel/fonts-copyright.txt does not name the fonts' licence"
grep -q 'Apache License' "$doc/fonts-LICENSE-Apache-2.0.txt" ||
    fail "share/doc/orrindel/fonts-LICENSE-Apache-2.0.txt is not the Apache licence"
ok "share/doc/orrindel: manual.html, simulator.md, fonts-copyright.txt, fonts-LICENSE-Apache-2.0.txt"

desktop=$prefix/share/applications/orrindel.desktop
[ -s "$desktop" ] || fail "share/applications/orrindel.desktop is missing"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" >"$tmp/validate.log" 2>&1 || {
        show_log desktop-file-validate "$tmp/validate.log"
        fail "desktop-file-validate rejects orrindel.desktop"
    }
    # It prints hints without failing; the entry should draw none either.
    [ ! -s "$tmp/validate.log" ] || {
        show_log desktop-file-validate "$tmp/validate.log"
        fail "desktop-file-validate has remarks on orrindel.desktop"
    }
    ok "desktop-file-validate orrindel.desktop"
else
    echo "skip desktop-file-validate is not installed (package desktop-file-utils)"
fi
entry_value() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
[ "$(entry_value Type)" = Application ] || fail "desktop entry: Type is not Application"
[ "$(entry_value Name)" = Orrindel ] || fail "desktop entry: Name is not Orrindel"
[ "$(entry_value Icon)" = orrindel ] || fail "desktop entry: Icon is not orrindel"
[ "$(entry_value Terminal)" = false ] || fail "desktop entry: Terminal is not false"
[ -n "$(entry_value Comment)" ] || fail "desktop entry: no Comment"
[ -n "$(entry_value Categories)" ] || fail "desktop entry: no Categories"
exec_line=$(entry_value Exec)
exec_line=${exec_line//%[fFuUick]/}
read -r -a exec_argv <<<"$exec_line"
[ ${#exec_argv[@]} -gt 0 ] || fail "desktop entry: empty Exec"
[ -x "$prefix/bin/${exec_argv[0]}" ] ||
    fail "desktop entry: Exec runs ${exec_argv[0]}, which is not in the installed bin/"
ok "desktop entry: Type, Name, Comment, Icon, Terminal, Categories, Exec=$exec_line"

png_size() {  # file -> "WIDTHxHEIGHT", or nothing when it is no PNG
    local b
    read -r -a b <<<"$(od -An -v -tu1 -N24 "$1" | tr '\n' ' ')"
    [ "${#b[@]}" -eq 24 ] && [ "${b[*]:0:8}" = "137 80 78 71 13 10 26 10" ] || return 0
    echo "$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19]))x$(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23]))"
}
icons=$prefix/share/icons/hicolor
for size in 16 32 48 256; do
    png=$icons/${size}x${size}/apps/orrindel.png
    [ -f "$png" ] || fail "share/icons/hicolor/${size}x${size}/apps/orrindel.png is missing"
    [ "$(png_size "$png")" = "${size}x${size}" ] ||
        fail "${size}x${size}/apps/orrindel.png is not a ${size} by ${size} PNG ($(png_size "$png"))"
done
grep -q '<svg' "$icons/scalable/apps/orrindel.svg" 2>/dev/null ||
    fail "share/icons/hicolor/scalable/apps/orrindel.svg is missing"
ok "icons: hicolor 16, 32, 48, 256 (PNG) and scalable (SVG)"

stray=$(cd "$prefix" && find . \( -type f -o -type l \) ! -path './bin/*' ! -path './share/*' | head)
[ -z "$stray" ] || fail "installed outside bin/ and share/: $stray"
if [ -n "$build_dir" ] && command -v readelf >/dev/null; then
    build_abs=$(cd "$build_dir" && pwd)
    for program in orrindel orrindel-sim; do
        if readelf -d "$prefix/bin/$program" | grep -E 'R(UN)?PATH' | grep -qF "$build_abs"; then
            fail "bin/$program still looks for libraries in the build folder"
        fi
    done
    ok "no search path into the build folder"
fi

# --- 3. The program against the simulator, on a private display ---------------------
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 </dev/null &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do
    grep -q '^[0-9][0-9]*$' "$tmp/display" 2>/dev/null && break
    kill -0 "$xvfb_pid" 2>/dev/null || { show_log Xvfb "$tmp/xvfb.log"; fail "Xvfb did not start"; }
    sleep 0.1
done
grep -q '^[0-9][0-9]*$' "$tmp/display" || fail "Xvfb did not report its display"
display=$(cat "$tmp/display")
export DISPLAY=":$display"
ok "Xvfb on $DISPLAY"

link=$tmp/ttyLASER
"$prefix/bin/orrindel-sim" --link "$link" --no-console --quiet \
    </dev/null >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!
for ((i = 0; i < 100; i++)); do
    [ -s "$tmp/sim.out" ] && [ -L "$link" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { show_log orrindel-sim "$tmp/sim.err"; fail "orrindel-sim ended"; }
    sleep 0.1
done
[ -L "$link" ] || fail "orrindel-sim made no link $link"
ok "orrindel-sim on $(head -n 1 "$tmp/sim.out") (link $link)"

# The program as the desktop entry starts it. The current folder is a decoy:
# config.ini must not land there.
mkdir -p "$tmp/home" "$tmp/cwd" "$tmp/runtime"
chmod 700 "$tmp/runtime"
(
    cd "$tmp/cwd"
    export HOME=$tmp/home
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME QT_QPA_PLATFORM
    export XDG_RUNTIME_DIR=$tmp/runtime
    export QT_QPA_PLATFORM=xcb
    # No session bus: nothing to start or talk to outside this test.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$tmp/no-session-bus
    export ORRINDEL_EXTRA_PORTS=$link
    export PATH=$prefix/bin:$PATH
    exec "${exec_argv[@]}"
) </dev/null >"$tmp/program.log" 2>&1 &
prog_pid=$!

window=""
for ((i = 0; i < window_timeout * 5; i++)); do
    if ! kill -0 "$prog_pid" 2>/dev/null; then
        code=0
        wait "$prog_pid" || code=$?
        prog_pid=""
        show_log program "$tmp/program.log"
        fail "the program exited (code $code) before its window appeared"
    fi
    window=$(xdotool search --all --onlyvisible --pid "$prog_pid" --name '^Orrindel$' \
        2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { show_log program "$tmp/program.log"; fail "no window Orrindel within ${window_timeout}s"; }
ok "window Orrindel ($window, $(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p'))"

settings=$tmp/home/.config/orrindel/config.ini
for ((i = 0; i < 50; i++)); do
    [ -s "$settings" ] && break
    sleep 0.1
done
grep -q '^language=' "$settings" 2>/dev/null && grep -q '^theme=' "$settings" ||
    fail "no config.ini with language and theme in ~/.config/orrindel"
[ ! -e "$tmp/cwd/config.ini" ] || fail "config.ini landed in the current folder"
ok "config.ini in ~/.config/orrindel"

sleep 2  # running, not only started
kill -0 "$prog_pid" 2>/dev/null || { show_log program "$tmp/program.log"; fail "the program ended by itself"; }
if grep -E 'module "[^"]+" is not installed|plugin cannot be loaded|failed to load component' \
    "$tmp/program.log" >&2; then
    fail "the program lacks a QML module or plugin"
fi

"$python" "$here/close-window.py" "$window" || fail "could not ask the window to close"
for ((i = 0; i < 150; i++)); do
    kill -0 "$prog_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$prog_pid" 2>/dev/null && { show_log program "$tmp/program.log"; fail "the program did not end within 30 s of the close request"; }
code=0
wait "$prog_pid" || code=$?
prog_pid=""
[ "$code" -eq 0 ] || { show_log program "$tmp/program.log"; fail "the program ended with code $code after the close request"; }
ok "closed on request, exit code 0"

kill -TERM "$sim_pid"
code=0
wait "$sim_pid" || code=$?
sim_pid=""
[ "$code" -eq 0 ] || { show_log orrindel-sim "$tmp/sim.err"; fail "orrindel-sim ended with code $code on SIGTERM"; }
[ ! -e "$link" ] && [ ! -L "$link" ] || fail "orrindel-sim left its link $link"
ok "orrindel-sim stopped, exit code 0, link removed"

echo "PASS: installed tree $prefix"
