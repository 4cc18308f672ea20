#!/bin/sh
# Builds the libFuzzer targets of tests/fuzz with clang into build/fuzz and runs
# each for a bounded time (FUZZ_SECONDS, default 60), starting from its
# committed seed corpus. New inputs collect in build/fuzz/corpus/<target>, so
# later runs go on from there; the committed corpus is never written. Prints
# each target's executions, speed and coverage; a crash or a broken invariant
# leaves its input in build/fuzz/ and fails the run.
set -eu
cd "$(dirname "$0")/.."

SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}
dir=build/fuzz

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S tests/fuzz -B "$dir" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
if ! log=$(cmake --build "$dir" -j "$JOBS" 2>&1); then
  printf '%s\n' "$log"
  exit 1
fi

failed=""
for target in wedge settings port_name inf_patch; do
  corpus=$dir/corpus/$target
  mkdir -p "$corpus"
  out=$dir/fuzz-$target.log
  started=$(date +%s)
  status=0
  "$dir/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/$target-" \
      "$corpus" "tests/fuzz/corpus/$target" >"$out" 2>&1 || status=$?
  took=$(( $(date +%s) - started ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out")
  last=$(grep -E '(DONE|pulse|NEW|REDUCE|INITED) +cov:' "$out" | tail -n 1 || true)
  cov=$(printf '%s\n' "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(printf '%s\n' "$last" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  inputs=$(find "$corpus" -type f | wc -l)
  printf 'fuzz: %-10s %5ss  execs %-9s %6s exec/s  cov %-5s features %-6s corpus %s\n' \
      "$target" "$took" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$inputs"
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $target FAILED (exit $status); the input and the report are in $out:" >&2
    grep -E 'invariant broken|ERROR:|SUMMARY:|Test unit written' "$out" >&2 || tail -n 20 "$out" >&2
    failed="$failed $target"
  fi
done

[ -z "$failed" ] || { echo "fuzz: failed:$failed" >&2; exit 1; }
