#!/usr/bin/env bash
# Set-up, build, then salvage the bundled damaged sample: its first 1000 bytes
# are gone and its catalog pages are zeroed. The tables come back as CSV files.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" build
out="$here/out"
mkdir -p "$out"
"$here/build/pagewright" info --quiet "$here/build/sample/Shop-damaged.mdb"
"$here/build/pagewright" export "$here/build/sample/Shop-damaged.mdb" --csv "$out"
