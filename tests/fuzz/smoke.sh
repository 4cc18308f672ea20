#!/bin/sh
# One short fuzz run from a committed seed corpus: smoke.sh <fuzzer> <seeds> <scratch> <seconds>.
# New inputs go to the scratch folder, so the committed corpus never changes;
# a crash or a broken invariant leaves its input in the scratch folder.
set -eu
fuzzer=$1 seeds=$2 scratch=$3 seconds=$4
rm -rf "$scratch"
mkdir -p "$scratch/corpus"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$scratch/" "$scratch/corpus" "$seeds"
