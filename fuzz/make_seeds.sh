#!/usr/bin/env bash
# Seeds for the fuzzers from the shared corpus, into a folder of the build
# (never into the project):
#   DEST/files/        the small Jet 4 / ACE files whole, and the first pages
#                      of the others (header, page one, the catalog and the
#                      first table definitions lie there), for the targets
#                      that analyse a whole file;
#   DEST/<Target>/     pages cut from the same files for the fast targets,
#                      framed as each reads them (fuzz/PageBundle.h): a
#                      definition with its continuation pages, a data page
#                      behind a small table shape, a long-value field header
#                      with long-value pages, the catalog's pages, and the
#                      first pages of a file shifted off their grid.
#   fuzz/make_seeds.sh DEST [CORPUS_DIR] [PAGES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:?usage: $0 DEST [CORPUS_DIR] [PAGES]}
corpus=${2:-${PAGEWRIGHT_CORPUS_DIR:-"$here/../shared/corpus"}}
pages=${3:-16}
whole_limit=$((pages * 4096))
fast_targets=(DefinitionFuzzer RowPageFuzzer LongValueFuzzer CatalogFuzzer PageGridFuzzer)
mkdir -p "$dest/files"
for target in "${fast_targets[@]}"; do mkdir -p "$dest/$target"; done
if [ ! -d "$corpus/files" ]; then
  echo "no corpus files in $corpus/files: the fuzzers start from nothing" >&2
  exit 0
fi

# Page numbers of a bundle keep 12 bits, so pages are cut from the first
# 4096 pages of a file only.
max_page=4096
lval=$((0x4C41564C))

# One line per page: number, type byte, second byte, link (bytes 4 to 7).
page_table() {
  local count=$(($(stat -c %s "$1") / 4096))
  ((count > max_page)) && count=$max_page
  ((count > 0)) || return 0
  od -An -v -tu1 -w4096 -N $((count * 4096)) "$1" | cut -c1-32 |
    awk '{ print NR - 1, $1, $2, $5 + 256 * $6 + 65536 * $7 + 16777216 * $8 }'
}

# A page of a bundle: its number as a little-endian word, then its bytes.
emit_page() {
  printf "\\x$(printf %02x $(($2 & 255)))\\x$(printf %02x $(($2 >> 8)))"
  dd if="$1" bs=4096 skip="$2" count=1 status=none
}

# Table shapes (fuzz/TableShape.h) put in front of data pages, one per seed in
# turn: numbers and text with a memo; texts, a double, a yes/no and currency
# with deleted rows; a table inferred from its rows; a decimal, a GUID, an OLE
# object and an expression column.
shapes=('\x03\xff\x00\x03\x00\x09\x32\x07\x00\x0b\x00'
  '\x05\xff\x01\x03\x00\x09\x20\x09\x20\x06\x00\x00\x00\x04\x00'
  '\x02\xff\x02\x03\x00\x12\x00\x12\x00'
  '\x04\xff\x00\x02\x00\x0d\x12\x0c\x00\x0a\x00\x09\x80')

count=0
shape=0
for file in "$corpus"/files/*; do
  name=$(basename "$file")
  expected="$corpus/expected/$name.json"
  [ -f "$expected" ] || continue
  # Access 97 files and the encrypted ones teach the fuzzer little.
  if head -c 400 "$expected" | grep -q -E '^\{"file":"[^"]*","error"|"format": *"JET3"'; then continue; fi
  size=$(stat -c %s "$file")
  if ((size <= whole_limit)); then
    cp "$file" "$dest/files/$name"
  else
    head -c "$whole_limit" "$file" >"$dest/files/$name.head"
  fi
  count=$((count + 1))

  declare -A type=() link=()
  definitions=() continued=() data=() values=() catalog=()
  while read -r n t second l; do
    ((second == 1)) || continue
    type[$n]=$t
    link[$n]=$l
    if ((t == 2)); then definitions+=("$n"); fi
    if ((t == 2 && l > 0)); then continued+=("$n"); fi
    if ((t == 1 && l == lval)); then values+=("$n"); fi
    if ((t == 1 && l != lval)); then data+=("$n"); fi
    if ((l == 2 && n != 2 && ${#catalog[@]} < 4)); then catalog+=("$n"); fi
  done < <(page_table "$file")

  # A definition with the continuation pages its links reach; the few that
  # have some come first.
  for first in "${continued[@]:0:2}" "${definitions[@]:0:3}"; do
    chain=("$first")
    next=${link[$first]}
    while ((${#chain[@]} < 4)) && [ "${type[$next]:-}" = 2 ] && ((next != first)); do
      chain+=("$next")
      next=${link[$next]}
    done
    for n in "${chain[@]}"; do emit_page "$file" "$n"; done >"$dest/DefinitionFuzzer/$name.$first"
  done

  # A data page, with the file's first long-value page for its memos.
  for n in "${data[@]:0:3}"; do
    {
      printf "${shapes[$shape]}"
      emit_page "$file" "$n"
      if ((${#values[@]})); then emit_page "$file" "${values[0]}"; fi
    } >"$dest/RowPageFuzzer/$name.$n"
    shape=$(((shape + 1) % ${#shapes[@]}))
  done

  # A field header naming row 0 of a long-value page, as one row and as a
  # chain (whose links reach the long-value pages after it), with those pages.
  if ((${#values[@]})); then
    first=${values[0]}
    for flag in 40 00; do
      header=$(printf '\\x00\\xff\\x7f\\x00\\x%s\\x00\\x%02x\\x%02x\\x00\\x00\\x00\\x00\\x00' \
        "$flag" $((first & 255)) $((first >> 8)))
      {
        printf "$header"
        for n in "${values[@]:0:4}"; do emit_page "$file" "$n"; done
      } >"$dest/LongValueFuzzer/$name.$flag"
    done
  fi

  # The catalog: its definition, the pages it owns, the first table after it.
  if [ "${type[2]:-}" = 2 ]; then
    {
      emit_page "$file" 2
      for n in "${catalog[@]}"; do emit_page "$file" "$n"; done
      for n in "${definitions[@]:1:1}"; do emit_page "$file" "$n"; done
    } >"$dest/CatalogFuzzer/$name"
  fi

  # The first pages cut at the start, behind junk, and without page 0.
  if ((size >= 5 * 4096)); then
    head -c $((5 * 4096)) "$file" | tail -c +1001 >"$dest/PageGridFuzzer/$name.cut"
    { head -c 512 /dev/zero | tr '\0' '\252'; head -c $((4 * 4096)) "$file"; } >"$dest/PageGridFuzzer/$name.junk"
    dd if="$file" bs=4096 skip=1 count=4 status=none >"$dest/PageGridFuzzer/$name.tail"
  fi
  unset type link
done
echo "$count seeds in $dest/files" >&2
for target in "${fast_targets[@]}"; do
  echo "$(find "$dest/$target" -type f | wc -l) seeds in $dest/$target" >&2
done
