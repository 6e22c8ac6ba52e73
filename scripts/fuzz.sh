#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# The targets default to all of fuzz/. Those that analyse a whole file (about
# 30 inputs a second) run SECONDS each (default 60); the fast ones, which hand
# one part of the core a few pages held in memory (thousands of inputs a
# second), run two thirds of that: `scripts/fuzz.sh 30`, CI's short run, is
# 4 x 30 s + 5 x 20 s, under four minutes of fuzzing after the build.
# Each run grows its own corpus in build-fuzz/fuzz-corpus/<target>, seeded from
# the shared corpus (fuzz/make_seeds.sh: whole files, or pages framed for one
# fast target); a crash, a hang (-timeout), an out-of-memory (-rss_limit_mb)
# or a sanitizer report leaves its input in build-fuzz/findings/ and makes the
# script exit non-zero.
# PAGEWRIGHT_FUZZ_BUILD_DIR overrides the build folder, PAGEWRIGHT_FUZZ_JOBS
# the build's parallelism (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$here/${PAGEWRIGHT_FUZZ_BUILD_DIR:-build-fuzz}"
file_targets=(AnalysisFuzzer RowWalkFuzzer DumpFuzzer CsvFuzzer)
# Each fast target with the longest input it reads (its pages and framing):
# longer inputs would only be cut.
declare -A fast_max_len=([DefinitionFuzzer]=16392 [RowPageFuzzer]=8231 [LongValueFuzzer]=24853
  [CatalogFuzzer]=24588 [PageGridFuzzer]=24576)
fast_targets=(DefinitionFuzzer RowPageFuzzer LongValueFuzzer CatalogFuzzer PageGridFuzzer)
targets=("$@")
if ((${#targets[@]} == 0)); then targets=("${file_targets[@]}" "${fast_targets[@]}"); fi

cmake -S "$here" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAGEWRIGHT_FUZZ=ON -DPAGEWRIGHT_WERROR=ON -DPAGEWRIGHT_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "${PAGEWRIGHT_FUZZ_JOBS:-2}" --target "${targets[@]}"

seeds="$build/fuzz-seeds"
# Seeds made before the fast targets had folders of their own are made again.
if [ ! -d "$seeds/files" ]; then
  rm -rf "$seeds"
  "$here/fuzz/make_seeds.sh" "$seeds"
fi
mkdir -p "$build/findings"
export PAGEWRIGHT_STATE_DIR="$build/fuzz-state"
# Leaks are not what these runs look for; UBSan stops at the first report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  time=$seconds max_len=131072 target_seeds="$seeds/files"
  if [ -n "${fast_max_len[$target]:-}" ]; then
    time=$(((seconds * 2 + 2) / 3))
    max_len=${fast_max_len[$target]}
    target_seeds="$seeds/$target"
  fi
  echo "== $target: ${time} s" >&2
  rc=0
  "$build/$target" "$corpus" "$target_seeds" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$max_len" -artifact_prefix="$build/findings/$target-" -print_final_stats=1 -close_fd_mask=1 \
    2>"$build/findings/$target.log" || rc=$?
  grep -E '^(#[0-9]+ +DONE|stat::|Done |==[0-9]+==ERROR|SUMMARY)' "$build/findings/$target.log" >&2 || true
  if ((rc != 0)); then
    echo "$target: finding (exit $rc), see $build/findings/$target.log" >&2
    tail -n 40 "$build/findings/$target.log" >&2
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing found nothing in ${#targets[@]} targets" >&2
