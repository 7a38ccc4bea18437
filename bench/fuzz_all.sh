#!/bin/bash
# Runs every fuzz target for SECONDS each (or until MAX_RUNS executions when
# given), two at a time (JOBS to change), each on a working copy of its corpus
# in build-fuzz-bench/, and prints per target the executions, the coverage
# (edges) and the findings. Exits non-zero when any target found something;
# the inputs are in build-fuzz-bench/findings/. FUZZ_TARGETS="a b" runs only
# those targets.
#   bash bench/fuzz_all.sh 60
#   nice -n 10 bash bench/fuzz_all.sh 600 1000000
set -eu
seconds=${1:?usage: fuzz_all.sh SECONDS [MAX_RUNS]}
max_runs=${2:-0}
jobs=${JOBS:-$(nproc)}
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz-bench
if [ ! -f "$build/build.ninja" ]; then
  cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
targets=${FUZZ_TARGETS:-$(cd fuzz && ls ./*.cpp | sed 's|^\./||; s|\.cpp$||' | grep -v FuzzSupport)}
cmake --build "$build" --target $(printf 'fuzz_%s ' $targets)
mkdir -p "$build/findings" "$build/logs"
# Findings are per run: the ones worth keeping go into fuzz/corpus/.
for name in $targets; do rm -f "$build/findings/$name-"*; done

run_one() {
  local name=$1 corpus=$build/corpus/$name
  mkdir -p "$corpus"
  cp -n "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  local start=$SECONDS
  "$build/fuzz_$name" -max_total_time="$seconds" -runs="$([ "$max_runs" -gt 0 ] && echo "$max_runs" || echo -1)" \
    -dict="$root/fuzz/dict/$name.dict" -max_len=4096 -timeout=30 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
    "$corpus" >"$build/logs/$name.log" 2>&1 || true
  echo $((SECONDS - start)) >"$build/logs/$name.time"
}
export -f run_one
export build root seconds max_runs
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_one {}'

status=0
printf '%-20s %12s %8s %8s %9s\n' target executions edges seconds findings
for name in $targets; do
  log=$build/logs/$name.log
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  found=$(ls "$build/findings" | grep -c "^$name-" || true)
  if grep -q -E '^==[0-9]+==ERROR|property failed|deadly signal' "$log"; then
    found=$((found > 0 ? found : 1))
  fi
  [ "$found" -gt 0 ] && status=1
  printf '%-20s %12s %8s %8s %9s\n' "$name" "${runs:-?}" "${edges:-?}" "$(cat "$build/logs/$name.time")" "$found"
done
exit $status
