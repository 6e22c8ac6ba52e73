#!/usr/bin/env bash
# Writes large databases of generated rows with the engine (make_large_db),
# then times pagewright reading them beside mdbtools (run as a black box):
# the writer itself, `export --csv` against mdb-export of every table, and
# `dump` against mdb-json of every table. Each command runs once, on a file
# already in the page cache. Checks on the way that mdb-export and pagewright
# give back every row and that the dump finds no damage; exits 1 if not.
#   bench/run_engine_benchmarks.sh [WORK_DIR] [SIZES_MIB...]
# Defaults: /tmp/pwbench; 256 and 1024 MiB. TABLES (default 4) splits the rows
# over that many tables; BUILD_DIR chooses the build folder (default
# build-bench beside the sources); KEEP=1 keeps the generated files.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build-bench"}
work=${1:-/tmp/pwbench}
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(256 1024)
tables=${TABLES:-4}
# Rows written to learn the size of one row, from which each size's row count follows.
sample_rows=200000

for tool in mdb-json mdb-export mdb-tables; do
  if ! command -v "$tool" >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq mdbtools
    break
  fi
done
gnu_time=""
command -v /usr/bin/time >/dev/null && gnu_time=/usr/bin/time
[ -n "$gnu_time" ] || echo "note: /usr/bin/time is missing (Debian package time): no peak memory figures" >&2

# Warnings fail CI's builds; a benchmark should not fail on one that a newer
# compiler or -O3 brings up.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPAGEWRIGHT_WERROR=OFF >/dev/null
cmake --build "$build" --target pagewright make_large_db -j "$(nproc)" >/dev/null
pw="$build/pagewright"
generator="$build/make_large_db"
export PAGEWRIGHT_STATE_DIR="$work/state"
mkdir -p "$work"

# measure STDOUT COMMAND...: runs the command once; sets seconds, peak_mib
# ("n/a" without GNU time) and status.
measure() {
  local out=$1
  shift
  status=0
  if [ -n "$gnu_time" ]; then
    "$gnu_time" -v -o "$work/time.txt" "$@" >"$out" 2>"$work/stderr.txt" || status=$?
    seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, part, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + part[i]; printf "%.2f", s }' "$work/time.txt")
    peak_mib=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$work/time.txt")
  else
    local TIMEFORMAT=%R
    { time "$@" >"$out" 2>"$work/stderr.txt" || status=$?; } 2>"$work/time.txt"
    seconds=$(tail -n 1 "$work/time.txt")
    peak_mib=n/a
  fi
  if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
    echo "failed ($status): $*" >&2
    cat "$work/stderr.txt" >&2
  fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "n/a" || b == "n/a" || b == 0) print "-"; else printf "%.2f", a / b }'; }

# CSV records in the files named: a line ends a record when the quotes so far
# are balanced, as memos hold line breaks. The header lines are left out.
csv_records() {
  local total=0 f n
  for f in "$@"; do
    n=$(awk '{ q += gsub(/"/, "") } q % 2 == 0 { n++ } END { print n - 1 }' "$f")
    total=$((total + n))
  done
  echo "$total"
}

failures=0
check() {
  local what=$1 got=$2 want=$3
  if [ "$got" = "$want" ]; then
    printf 'ok      %s: %s\n' "$what" "$got" >&2
  else
    printf 'FAILED  %s: %s, expected %s\n' "$what" "$got" "$want" >&2
    failures=$((failures + 1))
  fi
}

rm -f "$work/sample.mdb"
"$generator" --rows "$sample_rows" --tables "$tables" --out "$work/sample.mdb" >/dev/null
bytes_per_row=$(awk -v b="$(stat -c %s "$work/sample.mdb")" -v r="$sample_rows" 'BEGIN { print b / r }')
rm -f "$work/sample.mdb"

writer_lines=()
reader_lines=()
writer_peaks=()
for size in "${sizes[@]}"; do
  rows=$(awk -v s="$size" -v b="$bytes_per_row" 'BEGIN { printf "%d", s * 1048576 / b }')
  file="$work/large-$size.mdb"
  rm -f "$file"
  echo "== $size MiB: $rows rows over $tables table(s)" >&2
  measure "$work/generator.txt" "$generator" --rows "$rows" --tables "$tables" --out "$file"
  [ "$status" -eq 0 ] || exit 1
  field() { awk -F': ' -v k="$1" '$1 == k { print $2 }' "$work/generator.txt"; }
  mib=$(field MiB)
  writer_lines+=("$(printf '%-6s %10s %8s %9s %10s %8s %10s %10s' "$size" "$rows" "$mib" "$seconds" \
    "$(field rows/s)" "$(field MiB/s)" "$peak_mib" "$(field 'peak RSS MiB')")")
  writer_peaks+=("$peak_mib")
  cat "$file" >/dev/null
  mapfile -t names < <(mdb-tables -1 "$file")
  check "$size MiB: tables listed by mdb-tables" "${#names[@]}" "$tables"

  row() {  # LABEL SECONDS PEAK [MDB_SECONDS MDB_PEAK]
    reader_lines+=("$(printf '%-6s %-34s %9s %10s %9s %9s' "$size" "$1" "$2" "$3" \
      "${4:+$(ratio "$2" "$4")}" "${5:+$(ratio "$3" "$5")}")")
  }

  rm -rf "$work/mdb-csv" "$work/pw-csv" && mkdir -p "$work/mdb-csv" "$work/pw-csv"
  # shellcheck disable=SC2016 # the inner shell expands them
  measure /dev/null bash -c 'f=$1; d=$2; shift 2; for t; do mdb-export "$f" "$t" >"$d/$t.csv" || exit; done' _ \
    "$file" "$work/mdb-csv" "${names[@]}"
  check "$size MiB: mdb-export exit status" "$status" 0
  mdb_s=$seconds mdb_p=$peak_mib
  check "$size MiB: records read by mdb-export" "$(csv_records "$work"/mdb-csv/*.csv)" "$rows"
  rm -rf "$work/mdb-csv"
  measure /dev/null "$pw" export "$file" --csv "$work/pw-csv"
  check "$size MiB: pagewright export exit status" "$status" 0
  mapfile -t pw_csv < <(find "$work/pw-csv" -name '*.csv')
  check "$size MiB: records exported by pagewright" "$(csv_records "${pw_csv[@]}")" "$rows"
  rm -rf "$work/pw-csv"
  row "pagewright export --csv" "$seconds" "$peak_mib" "$mdb_s" "$mdb_p"
  row "mdb-export (every table)" "$mdb_s" "$mdb_p"

  # shellcheck disable=SC2016
  measure /dev/null bash -c 'f=$1; shift; for t; do mdb-json "$f" "$t" || exit; done' _ "$file" "${names[@]}"
  check "$size MiB: mdb-json exit status" "$status" 0
  mdb_s=$seconds mdb_p=$peak_mib
  measure /dev/null "$pw" dump "$file"
  check "$size MiB: pagewright dump exit status (0: no damage)" "$status" 0
  row "pagewright dump >/dev/null" "$seconds" "$peak_mib" "$mdb_s" "$mdb_p"
  row "mdb-json (every table) >/dev/null" "$mdb_s" "$mdb_p"

  [ "${KEEP:-0}" = 1 ] || rm -f "$file"
done

echo
echo "Writer (make_large_db, $tables table(s)); peak MiB from /usr/bin/time, VmHWM from the process"
printf '%-6s %10s %8s %9s %10s %8s %10s %10s\n' size rows MiB seconds rows/s MiB/s 'peak MiB' 'VmHWM MiB'
printf '%s\n' "${writer_lines[@]}"
if ((${#writer_peaks[@]} > 1)); then
  echo "writer peak memory, largest size / smallest: $(ratio "${writer_peaks[-1]}" "${writer_peaks[0]}")"
fi
echo
echo "Readers; ratios are pagewright / mdbtools (below 1: pagewright takes less)"
printf '%-6s %-34s %9s %10s %9s %9s\n' size command seconds 'peak MiB' 'time x' 'memory x'
printf '%s\n' "${reader_lines[@]}"
((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
