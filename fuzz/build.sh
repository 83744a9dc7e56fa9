#!/usr/bin/env bash
# Builds the protocol fuzzer with clang and libFuzzer into the given directory
# (default build-fuzz). The protocol sources are compiled straight in, with
# their one moc file, so no CMake configure is needed. Rebuilds only what is
# older than its sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-fuzz}
mkdir -p "$out/obj"

CXX=${CXX:-clang++-14}
qt_cflags=$(pkg-config --cflags Qt5Core)
qt_libs=$(pkg-config --libs Qt5Core)
moc="$(pkg-config --variable=host_bins Qt5Core)/moc"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
common="-std=c++17 -O1 -g -fPIC -fno-omit-frame-pointer -Wall -Wextra $sanitize $qt_cflags -I$root/src"

proto=$root/src/protocol
sources=("$proto"/*.cpp)
headers=("$proto"/*.h "$root"/src/common/*.h)

# A source is rebuilt when it, any protocol header or this script is newer.
stale() {
    local object=$1 source=$2
    [ -f "$object" ] || return 0
    for dep in "$source" "${headers[@]}" "$0"; do
        [ "$dep" -nt "$object" ] && return 0
    done
    return 1
}

if stale "$out/obj/moc_data_process.cpp" "$proto/data_process.h"; then
    "$moc" "$proto/data_process.h" -o "$out/obj/moc_data_process.cpp"
fi

pids=()
objects=()
compile() {
    local source=$1 object=$2 extra=$3
    objects+=("$object")
    if stale "$object" "$source"; then
        # shellcheck disable=SC2086
        $CXX $common $extra -c "$source" -o "$object" &
        pids+=($!)
    fi
}
for s in "${sources[@]}"; do
    name=$(basename "$s" .cpp)
    compile "$s" "$out/obj/$name.o" "-fsanitize=fuzzer-no-link"
done
compile "$out/obj/moc_data_process.cpp" "$out/obj/moc_data_process.o" "-fsanitize=fuzzer-no-link"
compile "$root/fuzz/deframe_fuzzer.cpp" "$out/obj/deframe_fuzzer.o" "-fsanitize=fuzzer"

status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
[ "$status" -eq 0 ] || { echo "fuzz build: compilation failed" >&2; exit 1; }

binary=$out/deframe_fuzzer
relink=0
[ -f "$binary" ] || relink=1
for o in "${objects[@]}"; do
    [ "$o" -nt "$binary" ] && relink=1
done
if [ "$relink" -eq 1 ]; then
    # shellcheck disable=SC2086
    $CXX -fsanitize=fuzzer $sanitize "${objects[@]}" $qt_libs -o "$binary"
fi
echo "$binary"
