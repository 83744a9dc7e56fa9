# Sourced by the scripts that run the built program against the simulator:
# sets ORRINDEL_BIN and ORRINDEL_SIM ($BUILD_DIR/bin, default build/, unless
# already set) and exits with status 2 when either is missing.
#   usage: source scripts/program_binaries.sh SCRIPT_NAME
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$source_dir/build}
case $build_dir in /*) ;; *) build_dir=$source_dir/$build_dir ;; esac
export ORRINDEL_BIN=${ORRINDEL_BIN:-$build_dir/bin/orrindel}
export ORRINDEL_SIM=${ORRINDEL_SIM:-$build_dir/bin/orrindel-sim}
for binary in "$ORRINDEL_BIN" "$ORRINDEL_SIM"; do
    if [ ! -x "$binary" ]; then
        echo "$1: $binary is missing: build the targets orrindel and orrindel-sim" >&2
        exit 2
    fi
done
