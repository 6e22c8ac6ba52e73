#!/usr/bin/env bash
# Runs the damage suite over the whole corpus: every Jet 4 / ACE file, every
# kind of damage, several seeds; writes damage-report.md into the output folder
# and prints its summary. Builds pagewright and the suite first unless
# --pagewright names a binary.
#   scripts/damage-suite.sh [--seed N] [--seeds K] [--out DIR] [--pagewright BIN]
#                           [--timeout S] [--jobs J] [-- more pagewright_damage options]
# Exit status: that of pagewright_damage (non-zero on a hang or a crash).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PAGEWRIGHT_BUILD_DIR:-build-damage}
seed=1
seeds=3
out="$here/$build/damage-suite"
binary=""
timeout=60
jobs=2
extra=()
usage() {
  sed -n '2,8p' "$0" >&2
  exit 64
}
while (($#)); do
  case "$1" in
    --seed) seed=$2; shift 2 ;;
    --seeds) seeds=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --pagewright) binary=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) usage ;;
    *) echo "unknown option $1" >&2; usage ;;
  esac
done
cmake -S "$here" -B "$here/$build" -DPAGEWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$here/$build" -j 2 --target pagewright_damage pagewright
if [ -z "$binary" ]; then
  binary="$here/$build/pagewright"
fi
exec "$here/$build/pagewright_damage" --pagewright "$binary" --out "$out" --seed "$seed" --seeds "$seeds" \
  --timeout "$timeout" --jobs "$jobs" --memory-mb 4096 --fail-on-findings "${extra[@]}"
