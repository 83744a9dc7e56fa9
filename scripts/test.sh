#!/usr/bin/env bash
# Sets up a new Debian 12 machine if needed, builds, and runs every test:
# ctest (labels unit, qml, e2e) under a virtual display, the ThreadSanitizer
# build of the link tests, and a short fuzzing run. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

failed=0
passed=0
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

# Charts and shadows need a real (virtual) X display; plain QML tests set the
# offscreen platform themselves.
step ctest xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir build --output-on-failure --timeout 300 -j2

if [ -x scripts/tsan.sh ]; then
    step tsan scripts/tsan.sh
fi

if command -v clang++-14 >/dev/null && [ -x scripts/fuzz.sh ]; then
    step fuzz scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
fi

echo "test steps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
