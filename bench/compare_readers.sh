#!/usr/bin/env bash
# Times pagewright beside a general reader of the format (mdbtools, as a black
# box) on large files made by repeating one table's data pages, and reports
# pagewright's peak memory.
#   bench/compare_readers.sh [WORK_DIR] [SIZES_MIB...]
# Defaults: a temporary folder; 64 and 256 MiB, and 1024 MiB for `info`
# against `cat`. The source table is the corpus sample Neptuno's "Pedidos";
# PAGEWRIGHT_BENCH_SOURCE and PAGEWRIGHT_BENCH_TABLE choose another.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build-bench"}
work=${1:-$(mktemp -d)}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(64 256)
source_file=${PAGEWRIGHT_BENCH_SOURCE:-"$here/../shared/corpus/files/PruebaAccess__Neptuno.mdb"}
table=${PAGEWRIGHT_BENCH_TABLE:-Pedidos}

for tool in mdb-json mdb-export; do
  if ! command -v "$tool" >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq mdbtools time
    break
  fi
done

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPAGEWRIGHT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target pagewright make_bench_file -j "$(nproc)" >/dev/null
pw="$build/pagewright"
export PAGEWRIGHT_STATE_DIR="$work/state"
mkdir -p "$work"

# seconds_and_peak COMMAND...: prints "<elapsed s> <peak MiB>" of one run.
seconds_and_peak() {
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
    echo "failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  awk '{ printf "%.2f %.1f", $1, $2 / 1024 }' "$work/time.txt"
}
best_of_3() {
  local best="" line
  for _ in 1 2 3; do
    line=$(seconds_and_peak "$@")
    if [ -z "$best" ] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then best=$line; fi
  done
  echo "$best"
}

printf '%-6s %-28s %10s %10s\n' MiB command seconds 'peak MiB'
for size in "${sizes[@]}"; do
  file="$work/bench-$size.mdb"
  "$build/make_bench_file" "$source_file" "$table" "$size" "$file" >&2
  cat "$file" >/dev/null
  row() { local r; r=$(best_of_3 "${@:2}"); printf '%-6s %-28s %10s %10s\n' "$size" "$1" ${r}; }
  row "cat" cat "$file"
  row "pagewright info" "$pw" info -q "$file"
  row "pagewright dump" "$pw" dump "$file" --table "$table"
  row "mdb-json" mdb-json "$file" "$table"
  rm -rf "$work/csv" && mkdir -p "$work/csv"
  row "pagewright export (CSV)" "$pw" export "$file" --csv "$work/csv" --table "$table"
  row "mdb-export" mdb-export "$file" "$table"
  rm -rf "$work/csv" "$file"
done
