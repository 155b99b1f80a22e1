#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while, starting from the seeds in
# tests/fuzz/corpus/<target>. New inputs go to BUILD/corpus/<target> (the committed seeds
# stay as they are); a crash, hang or sanitizer report leaves its input in BUILD/findings
# and makes the run fail.
#   scripts/run-fuzz.sh BUILD [SECONDS_PER_TARGET] [TARGET...]
set -uo pipefail
build=${1:?usage: run-fuzz.sh BUILD [SECONDS] [TARGET...]}
seconds=${2:-30}
shift $(( $# >= 2 ? 2 : 1 ))
root=$(cd "$(dirname "$0")/.." && pwd)
seeds=$root/tests/fuzz/corpus

"$build/fuzz-seed-writer" "$seeds" || exit 1
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < <(grep -v '^$' "$build/fuzz-targets.txt")

# Scratch files of the targets go below the build directory, so that even a run stopped by
# a finding leaves nothing behind in the system's temporary directory.
export TMPDIR=$build/tmp
mkdir -p "$TMPDIR"

failed=()
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings" "$seeds/$target"
  echo "fuzz: $target for ${seconds}s"
  # -timeout: one input taking longer than this is a hang; the outer timeout bounds the
  # whole run even if libFuzzer itself should stall.
  timeout --kill-after=10 $(( seconds + 60 )) "$build/fuzz-$target" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$build/corpus/$target" "$seeds/$target" >"$build/$target.log" 2>&1
  status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' "$build/$target.log" | tr '\n' ' '
  echo
  if [ $status -ne 0 ]; then
    failed+=("$target")
    echo "fuzz: $target FAILED (exit $status); log: $build/$target.log"
    grep -E 'ERROR: |SUMMARY: |fuzz property broken|unexpected exception|Test unit written' \
        "$build/$target.log" | head -20
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
echo "fuzz: no findings"
