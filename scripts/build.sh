#!/usr/bin/env bash
# Configures and builds into the given folder (default: build), with any extra
# CMake arguments after it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
cmake -S "$here" -B "$here/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$here/$dir" -j "$(nproc)"
