#!/bin/sh
# Builds the scanning benchmark in an optimised build and prints its figures (MiB/s in the
# bytes_per_second column). Usage: bench/run.sh [build-dir] [benchmark options...]
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-"$source_dir/build-bench"}
[ $# -gt 0 ] && shift
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j2 --target dralmik_bench_scan >/dev/null
exec "$build_dir/bench/dralmik_bench_scan" "$@"
