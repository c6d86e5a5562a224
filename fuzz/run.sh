#!/usr/bin/env bash
# Runs every fuzz target of build-fuzz for a bounded time and prints how many
# inputs each one executed. Usage: fuzz/run.sh SECONDS [BUILD_DIR]
# Each target starts from its seed corpus (plus examples/*.hlp for the file
# reader and the link scanner) copied into the build folder, so the seeds in
# the tree stay as they are. A crash or a broken invariant fails the run and
# leaves the input in BUILD_DIR/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build-fuzz}
mkdir -p "$build/crashes"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"

# target, seed folder, longest input
targets=(
  "fuzz_helpfile helpfile 8192"
  "fuzz_stylemachine stylemachine 160"
  "fuzz_links links 16384"
)

for entry in "${targets[@]}"; do
  read -r target seeds maxlen <<<"$entry"
  work="$build/corpus/$seeds"
  mkdir -p "$work"
  cp -n "fuzz/corpus/$seeds"/* "$work"/
  if [ "$seeds" != stylemachine ]; then
    for f in examples/*.hlp; do
      [ -e "$f" ] && cp -n "$f" "$work"/
    done
  fi
  log="$build/$target.log"
  if ! QT_QPA_PLATFORM=offscreen "$build/$target" -max_total_time="$seconds" -max_len="$maxlen" \
       -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 "$work" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$target: FAILED (input saved under $build/crashes/)"
    exit 1
  fi
  runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
  echo "$target: ${runs:-?} executions in ${seconds} s"
done
