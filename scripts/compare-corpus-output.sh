#!/usr/bin/env bash
# Runs two pagewright binaries over every corpus file and reports where their
# command-line output differs, so a rewrite of the core can be shown to change
# nothing a user sees.
#   scripts/compare-corpus-output.sh [--keep DIR] BEFORE AFTER [CORPUS_DIR]
# BEFORE and AFTER are pagewright binaries, or folders of outputs kept earlier
# with --keep (DIR/before or DIR/after), so an old build need not be kept.
# CORPUS_DIR defaults to $PAGEWRIGHT_CORPUS_DIR, else ../shared/corpus beside
# the project. --keep DIR keeps the raw outputs (stdout, stderr, exit code) of
# both sides in DIR/before and DIR/after.
# The top-level "damage" key of JSON outputs is dropped before comparing: the
# new version adds it on purpose. Stderr is not compared, only exit codes.
# Exit status: 0 when nothing differs, 1 otherwise, 2 on wrong usage.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
limit=120

usage() {
  echo "usage: $0 [--keep DIR] BEFORE_BINARY AFTER_BINARY [CORPUS_DIR]" >&2
  exit 2
}

keep=""
args=()
while (($#)); do
  case "$1" in
    --keep) (($# >= 2)) || usage; keep=$2; shift 2 ;;
    --keep=*) keep=${1#--keep=}; shift ;;
    -h|--help) usage ;;
    *) args+=("$1"); shift ;;
  esac
done
((${#args[@]} == 2 || ${#args[@]} == 3)) || usage
before=${args[0]}
after=${args[1]}
corpus=${args[2]:-${PAGEWRIGHT_CORPUS_DIR:-"$here/../shared/corpus"}}

for side in "$before" "$after"; do
  if [ ! -d "$side" ] && [ ! -x "$side" ]; then
    echo "$side is neither an executable nor a folder of kept outputs" >&2
    exit 2
  fi
done
if [ ! -d "$corpus/files" ]; then
  echo "no corpus files in $corpus/files" >&2
  exit 2
fi

if ! command -v jq >/dev/null 2>&1; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends jq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$keep" ]; then
  mkdir -p "$keep"
  out_root=$(cd "$keep" && pwd)
else
  out_root="$work/raw"
fi
# The binaries' own log folders would otherwise land beside them.
export PAGEWRIGHT_STATE_DIR="$work/state"

commands=(info-json tables-json schema-json schema-sql dump export-csv preview)
json_commands=" info-json tables-json schema-json dump "

# run BINARY OUTDIR NAME ARGS...: keeps stdout, stderr and the exit code.
run() {
  local binary=$1 dir=$2 name=$3
  shift 3
  local rc=0
  timeout "$limit" "$binary" "$@" >"$dir/$name.out" 2>"$dir/$name.err" </dev/null || rc=$?
  echo "$rc" >"$dir/$name.rc"
}

# first_table TABLES_JSON: the name of the first table listed, if any.
first_table() {
  jq -r 'if type == "object" and (.tables | type) == "array" and (.tables | length) > 0
         then .tables[0].name else empty end' "$1" 2>/dev/null || true
}

# run_side BINARY OUTDIR FILE TABLE: every command but preview when TABLE is
# empty, only preview otherwise.
run_side() {
  local binary=$1 dir=$2 file=$3 table=$4
  mkdir -p "$dir"
  if [ -z "$table" ]; then
    run "$binary" "$dir" info-json info --json "$file"
    run "$binary" "$dir" tables-json tables --json "$file"
    run "$binary" "$dir" schema-json schema --json "$file"
    run "$binary" "$dir" schema-sql schema --sql "$file"
    run "$binary" "$dir" dump dump "$file"
    # The CSV files of an export, one after the other, stand for its output;
    # the stamped folder's name differs from run to run and is left out.
    rm -rf "$dir/csv"
    mkdir -p "$dir/csv"
    run "$binary" "$dir" export-run export "$file" --csv "$dir/csv"
    {
      grep -v '^CSV folder: ' "$dir/export-run.out" || true
      find "$dir/csv" -type f -name '*.csv' -printf '%P\n' | sed 's|^[^/]*/||' | LC_ALL=C sort | while read -r name; do
        echo "== $name"
        cat "$dir/csv"/*/"$name"
      done
    } >"$dir/export-csv.out"
    cp "$dir/export-run.rc" "$dir/export-csv.rc"
    rm -rf "$dir/csv"
  else
    printf '%s\n' "$table" >"$dir/preview.table"
    run "$binary" "$dir" preview preview "$file" "$table"
  fi
}

# normalise COMMAND RAW OUT: sorted keys, no top-level "damage"; output that is
# not JSON (a refused file, say) is compared as it is.
normalise() {
  if [[ $json_commands == *" $1 "* ]] &&
     jq -S 'if type == "object" then del(.damage) else . end' "$2" >"$3" 2>/dev/null; then
    return
  fi
  cp "$2" "$3"
}

differences=0
report() {
  differences=$((differences + 1))
  echo "DIFF $1 $2: $3"
  if [ -n "${4:-}" ]; then
    printf '%s\n' "$4" | sed 's/^/    /'
  fi
}

compare_file() {
  local name=$1 b=$2 a=$3 command
  for command in "${commands[@]}"; do
    if [ ! -f "$b/$command.rc" ] && [ ! -f "$a/$command.rc" ]; then continue; fi
    if [ ! -f "$b/$command.rc" ] || [ ! -f "$a/$command.rc" ]; then
      report "$name" "$command" "run on one side only"
      continue
    fi
    local rc_before rc_after
    rc_before=$(cat "$b/$command.rc")
    rc_after=$(cat "$a/$command.rc")
    if [ "$rc_before" != "$rc_after" ]; then
      report "$name" "$command" "exit code $rc_before -> $rc_after"
    fi
    normalise "$command" "$b/$command.out" "$work/before.norm"
    normalise "$command" "$a/$command.out" "$work/after.norm"
    if ! cmp -s "$work/before.norm" "$work/after.norm"; then
      local excerpt
      excerpt=$(diff "$work/before.norm" "$work/after.norm" | head -n 12 | cut -c1-200 || true)
      report "$name" "$command" "stdout differs" "$excerpt"
    fi
  done
}

count=0
for path in "$corpus/files"/*; do
  [ -f "$path" ] || continue
  name=$(basename "$path")
  count=$((count + 1))
  for label in before after; do
    if [ "$label" = before ]; then side=$before; else side=$after; fi
    if [ -d "$side" ]; then
      if [ ! -d "$side/$name" ]; then
        echo "$side has no kept outputs for $name" >&2
        exit 2
      fi
    else
      run_side "$side" "$out_root/$label/$name" "$path" ""
    fi
  done
  b="$out_root/before/$name"; [ -d "$before" ] && b="$before/$name"
  a="$out_root/after/$name"; [ -d "$after" ] && a="$after/$name"
  # Both sides preview the same table, the first the before side lists, so the
  # two runs are the same command.
  table=$(first_table "$b/tables-json.out")
  [ -n "$table" ] || table=$(first_table "$a/tables-json.out")
  if [ -n "$table" ]; then
    [ -d "$before" ] || run_side "$before" "$b" "$path" "$table"
    [ -d "$after" ] || run_side "$after" "$a" "$path" "$table"
  fi
  compare_file "$name" "$b" "$a"
done

echo "$count files compared, $differences differences"
[ "$differences" -eq 0 ]
