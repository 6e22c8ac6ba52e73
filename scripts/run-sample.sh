#!/usr/bin/env bash
# Set-up, then builds only what the sample needs (the command line and the
# sample maker) and salvages the bundled damaged sample: its first 1000 bytes
# are gone and its catalog pages are zeroed. The tables come back as CSV files
# in ./out. Exits 0 when the salvage ran, whatever the damage cost.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
PAGEWRIGHT_TARGETS="pagewright sample" "$here/scripts/build.sh" build
pagewright="$here/build/pagewright"
sample="$here/build/sample/Shop-damaged.mdb"
out="$here/out"
mkdir -p "$out"

# What an exit code of the command line says, for the lines below.
meaning() {
  case "$1" in
    0) echo "nothing was lost" ;;
    3) echo "the file is damaged: what could be read was recovered, the damage summary above says what was lost" ;;
    *) echo "the command failed" ;;
  esac
}

echo "== pagewright info $sample"
info_rc=0
"$pagewright" info --quiet "$sample" || info_rc=$?
echo "== pagewright export $sample --csv $out"
export_rc=0
"$pagewright" export "$sample" --csv "$out" || export_rc=$?

echo
echo "info exited $info_rc: $(meaning "$info_rc")"
echo "export exited $export_rc: $(meaning "$export_rc")"
for rc in "$info_rc" "$export_rc"; do
  if [ "$rc" != 0 ] && [ "$rc" != 3 ]; then exit "$rc"; fi
done
folder=$(ls -td "$out"/*/ 2>/dev/null | head -n 1)
echo "The recovered tables are in ${folder:-$out}:"
find "${folder:-$out}" -maxdepth 1 -name '*.csv' -printf '  %f\n' | sort
