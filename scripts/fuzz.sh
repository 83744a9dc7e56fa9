#!/usr/bin/env bash
# Builds the protocol fuzzer (clang, libFuzzer, ASan, UBSan) through CMake into
# build-fuzz/ (option ORRINDEL_BUILD_FUZZ) and runs it for SECONDS seconds
# (default 30) on a copy of fuzz/corpus.
# Exits non-zero when clang is missing, the build fails or the fuzzer finds a
# crash, a leak or a broken invariant; the reproducer is then kept in
# build-fuzz/artifacts/.
#   usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}
dir=build-fuzz
cxx=${ORRINDEL_FUZZ_CXX:-clang++-14}

if ! command -v "$cxx" >/dev/null; then
    echo "fuzz: FAILED: $cxx not found (packages clang-14 libclang-rt-14-dev; scripts/setup.sh installs them)" >&2
    exit 1
fi

start=$(date +%s)
# Only the fuzzer is built here: no tests, benchmarks or program.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DORRINDEL_BUILD_FUZZ=ON -DORRINDEL_BUILD_TESTS=OFF -DORRINDEL_BUILD_BENCH=OFF \
    -DORRINDEL_BUILD_APP=OFF >/dev/null
cmake --build "$dir" --target deframe_fuzzer
binary=$root/$dir/bin/deframe_fuzzer
built=$(date +%s)
echo "fuzz: built $binary in $((built - start)) s"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$root/$dir/artifacts"
cp fuzz/corpus/* "$work/corpus/"

# Inputs stay small: the stream is cut into chunks of up to 300 bytes and the
# checks compare several passes over it.
status=0
"$binary" "$work/corpus" \
    -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$root/$dir/artifacts/" \
    >"$work/log" 2>&1 || status=$?

grep -E '^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log" || true
end=$(date +%s)
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz: FAILED (exit $status) after $((end - start)) s; see $dir/artifacts/"
    exit 1
fi
echo "fuzz: no failure in $seconds s of fuzzing ($((end - start)) s in all)"
