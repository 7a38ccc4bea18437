#!/bin/bash
# Runs one fuzz target as a test: "corpus" runs every input of its corpus once;
# "seeded RUNS" runs RUNS mutations with a fixed seed, so the result is the
# same every time. A finding leaves its input in BUILD/findings/.
set -eu
binary=$1 source=$2 name=$3 build=$4 mode=$5 runs=${6:-0}
work=$build/fuzz-work/$name-$mode
findings=$build/findings
rm -rf "$work"
mkdir -p "$work" "$findings"
args=(-artifact_prefix="$findings/$name-" -dict="$source/dict/$name.dict"
      -max_len=4096 -timeout=30 -rss_limit_mb=3072 -print_final_stats=1)
# New inputs go to the first folder (scratch), never into the repository.
if [ "$mode" = corpus ]; then
  exec "$binary" "${args[@]}" -runs=0 "$work" "$source/corpus/$name"
else
  exec "$binary" "${args[@]}" -seed=1 -runs="$runs" "$work" "$source/corpus/$name"
fi
