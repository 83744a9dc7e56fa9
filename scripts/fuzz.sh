#!/usr/bin/env bash
# Builds the protocol fuzzer (clang, libFuzzer, ASan, UBSan) into build-fuzz/
# and runs it for SECONDS seconds (default 30) on a copy of fuzz/corpus.
# Exits non-zero when the build fails or the fuzzer finds a crash, a leak or a
# broken invariant; the reproducer is then kept in build-fuzz/artifacts/.
#   usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}

start=$(date +%s)
binary=$(bash fuzz/build.sh "$root/build-fuzz" | tail -n 1)
built=$(date +%s)
echo "fuzz: built $binary in $((built - start)) s"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$root/build-fuzz/artifacts"
cp fuzz/corpus/* "$work/corpus/"

# Inputs stay small: the stream is cut into chunks of up to 300 bytes and the
# checks compare several passes over it.
status=0
"$binary" "$work/corpus" \
    -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$root/build-fuzz/artifacts/" \
    >"$work/log" 2>&1 || status=$?

grep -E '^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log" || true
end=$(date +%s)
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz: FAILED (exit $status) after $((end - start)) s; see build-fuzz/artifacts/"
    exit 1
fi
echo "fuzz: no failure in $seconds s of fuzzing ($((end - start)) s in all)"
