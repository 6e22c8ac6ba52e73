#!/bin/sh
# Builds the benchmarks in Release and runs them.
#   bench/run_benchmarks.sh [work-folder] [GiB]
# BUILD_DIR chooses the build folder (default: build-bench beside the sources).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build-bench"}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPAGEWRIGHT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target scan_bench -j "$(nproc)"
exec "$build/scan_bench" "$@"
