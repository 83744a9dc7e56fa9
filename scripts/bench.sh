#!/usr/bin/env bash
# Builds and runs the protocol benchmarks (Google Benchmark). Extra arguments
# go to the benchmark program, e.g. --benchmark_filter=Adversarial.
# The build directory defaults to build-proto (optimised, RelWithDebInfo);
# set BUILD_DIR to use another.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build-proto}

if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$dir" --target bench_protocol
exec "$dir/bench/bench_protocol" "$@"
