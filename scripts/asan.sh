#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the unit and QML tests and the C++ end-to-end tests
# under a virtual display. Exits non-zero on any failure or any sanitizer
# report, leaks included, in a test or in a process a test started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

dir=build-asan
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE= \
    -DCMAKE_CXX_FLAGS="$flags -g -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DORRINDEL_BUILD_BENCH=OFF -DORRINDEL_TEST_TIMEOUT_FACTOR=3 >/dev/null
cmake --build "$dir"

# Reports also go to files: a simulator a test started may report on its own
# exit without the test noticing, so every file left here fails the run.
logs=$root/$dir/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"

# Qt, GLib and Mesa are not built with frame pointers: the slow unwinder gives
# whole allocation stacks, which the leak suppressions need to match only
# system-library frames and never hide an allocation made by our code.
export ASAN_OPTIONS="detect_leaks=1 halt_on_error=1 exitcode=67 abort_on_error=0 \
check_initialization_order=1 strict_init_order=1 detect_stack_use_after_return=1 \
log_path=$logs/asan ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1 log_path=$logs/ubsan ${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp print_suppressions=0 \
fast_unwind_on_malloc=0 ${LSAN_OPTIONS:-}"

# The window picture suite compares with a tolerance in these slow builds.
export ORRINDEL_SANITIZER_RUN=1

status=0
run_ctest() {
    xvfb-run -a -s "-screen 0 1920x1080x24" \
        ctest --test-dir "$dir" --no-tests=error --output-on-failure --timeout 300 -j2 "$@" ||
        status=1
}
# Mesa's OpenGL driver (the picture suite drawn by OpenGL) keeps allocations
# until the process ends: not ours to report.
run_ctest -L '^(unit|qml)$' -E '^qml_picture_opengl$'
# The window tests in Python drive the program through the accessibility bus;
# the C++ ones cover the simulator process and the link to it.
run_ctest -R '^e2e_tst_sim_(process|link)$'

shopt -s nullglob
reports=("$logs"/*)
if [ ${#reports[@]} -gt 0 ]; then
    for f in "${reports[@]}"; do
        echo "== sanitizer report $f"
        cat "$f"
    done
    status=1
fi
exit "$status"
