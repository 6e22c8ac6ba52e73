#!/usr/bin/env bash
# Seeds for the fuzzers from the shared corpus, into a folder of the build
# (never into the project): the small Jet 4 / ACE files whole, and the first
# pages of the others (header, page one, the catalog and the first table
# definitions lie there).
#   fuzz/make_seeds.sh DEST [CORPUS_DIR] [PAGES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:?usage: $0 DEST [CORPUS_DIR] [PAGES]}
corpus=${2:-${PAGEWRIGHT_CORPUS_DIR:-"$here/../shared/corpus"}}
pages=${3:-16}
whole_limit=$((pages * 4096))
if [ ! -d "$corpus/files" ]; then
  echo "no corpus files in $corpus/files: the fuzzers start from nothing" >&2
  mkdir -p "$dest"
  exit 0
fi
mkdir -p "$dest"
count=0
for file in "$corpus"/files/*; do
  name=$(basename "$file")
  expected="$corpus/expected/$name.json"
  [ -f "$expected" ] || continue
  # Access 97 files and the encrypted ones teach the fuzzer little.
  if head -c 400 "$expected" | grep -q -E '^\{"file":"[^"]*","error"|"format": *"JET3"'; then continue; fi
  size=$(stat -c %s "$file")
  if ((size <= whole_limit)); then
    cp "$file" "$dest/$name"
  else
    head -c "$whole_limit" "$file" >"$dest/$name.head"
  fi
  count=$((count + 1))
done
echo "$count seeds in $dest"
