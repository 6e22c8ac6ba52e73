#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# SECONDS_PER_TARGET defaults to 60; the targets default to all of fuzz/.
# Each run grows its own corpus in build-fuzz/fuzz-corpus/<target>, seeded from
# the shared corpus (fuzz/make_seeds.sh); a crash, a hang (-timeout), an
# out-of-memory (-rss_limit_mb) or a sanitizer report leaves its input in
# build-fuzz/findings/ and makes the script exit non-zero.
# PAGEWRIGHT_FUZZ_BUILD_DIR overrides the build folder, PAGEWRIGHT_FUZZ_JOBS
# the build's parallelism (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$here/${PAGEWRIGHT_FUZZ_BUILD_DIR:-build-fuzz}"
all_targets=(AnalysisFuzzer RowWalkFuzzer DumpFuzzer CsvFuzzer)
targets=("$@")
if ((${#targets[@]} == 0)); then targets=("${all_targets[@]}"); fi

cmake -S "$here" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAGEWRIGHT_FUZZ=ON -DPAGEWRIGHT_WERROR=ON -DPAGEWRIGHT_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "${PAGEWRIGHT_FUZZ_JOBS:-2}" --target "${targets[@]}"

seeds="$build/fuzz-seeds"
if [ ! -d "$seeds" ]; then "$here/fuzz/make_seeds.sh" "$seeds"; fi
mkdir -p "$build/findings"
export PAGEWRIGHT_STATE_DIR="$build/fuzz-state"
# Leaks are not what these runs look for; UBSan stops at the first report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  echo "== $target: ${seconds} s" >&2
  rc=0
  "$build/$target" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=131072 \
    -artifact_prefix="$build/findings/$target-" -print_final_stats=1 -close_fd_mask=1 \
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
