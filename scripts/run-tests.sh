#!/usr/bin/env bash
# Set-up, build, then every test (unit and corpus). Extra arguments go to CMake;
# PAGEWRIGHT_BUILD_DIR names the build folder (default: build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${PAGEWRIGHT_BUILD_DIR:-build}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$dir" "$@"
cd "$here/$dir"
ctest --output-on-failure -j "$(nproc)"
