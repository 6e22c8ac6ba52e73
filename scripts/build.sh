#!/usr/bin/env bash
# Configures and builds into the given folder (default: build), with any extra
# CMake arguments after it. PAGEWRIGHT_TARGETS, when set, names the only
# targets to build (the sample needs two of them, not the test suites).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths relative to the project, so that another clone of it (CI's) reuses
  # what this one compiled.
  export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$here/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
for t in ${PAGEWRIGHT_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$here/$dir" -j "$(nproc)" "${targets[@]}"
