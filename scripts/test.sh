#!/usr/bin/env bash
# Sets up a new Debian 12 machine if needed, builds everything (program,
# simulator, tests, benchmarks, and the fuzzer in build-fuzz/), and runs every
# test: ctest (labels unit, qml, e2e) under a virtual display, the
# AddressSanitizer build, the ThreadSanitizer build of the link tests, and a
# short fuzzing run. A step that cannot run (its script or compiler missing)
# is reported and counts as a failure. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

bash scripts/setup.sh || { echo "setup failed"; exit 1; }
cmake --build build || { echo "build failed"; exit 1; }

failed=0
passed=0
not_run=()
step() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "== $name FAILED"
        failed=$((failed + 1))
    fi
}
# A step whose script is missing fails, loudly, instead of being left out.
script_step() {
    local name=$1 script=$2
    shift 2
    if [ ! -f "$script" ]; then
        echo "== $name NOT RUN: $script is missing" >&2
        echo "== $name FAILED"
        not_run+=("$name")
        failed=$((failed + 1))
        return
    fi
    step "$name" bash "$script" "$@"
}

# Charts and shadows need a real (virtual) X display; plain QML tests set the
# offscreen platform themselves.
step ctest xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir build --output-on-failure --timeout 300 -j2

script_step asan scripts/asan.sh
script_step tsan scripts/tsan.sh
# fuzz.sh fails by itself when clang++-14 is missing.
script_step fuzz scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

if [ ${#not_run[@]} -gt 0 ]; then
    echo "!! test steps NOT RUN (counted as failed): ${not_run[*]}" >&2
fi
echo "test steps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
