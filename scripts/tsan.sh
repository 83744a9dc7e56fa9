#!/usr/bin/env bash
# Builds the serial-link tests with ThreadSanitizer into build-tsan/ and runs
# them. Exits non-zero on any failure or any ThreadSanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-tsan
targets=(tst_port_list tst_serial_port tst_communication tst_link_exit tst_link_supervision
         link_exit_helper)

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE= \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -g -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
    -DORRINDEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target "${targets[@]}"

# Qt and GLib are not built with ThreadSanitizer: their locks (futex-based
# QMutex) and their event queues order things where the detector cannot see,
# while the allocation and copy functions they call are still intercepted,
# which makes every queued signal argument look like a race.
# ignore_noninstrumented_modules keeps the synchronisation those libraries
# perform (pthread, eventfd) but stops race checks on memory functions called
# from inside them. Every access made by our own code, inline Qt code compiled
# into it included, is still checked. QThread::wait() is marked for the
# detector in the code (src/link/thread_order.h). Any report is fatal.
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ignore_noninstrumented_modules=1 ${TSAN_OPTIONS:-}"
ctest --test-dir "$dir" -R '^link_' --no-tests=error --output-on-failure --timeout 300
