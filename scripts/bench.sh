#!/usr/bin/env bash
# The benchmarks of the largest input (1000 atoms of a quartz supercell, 6 Å
# sphere): first the micro-benchmarks (the neighbour pass by full scan and
# through the grid, the field renderers, reading the input), then whole runs
# timed: the W tables alone, every switch on, and copying the every-switch
# report with cat, in one go. Each whole-run line gives the fastest and the
# median wall time of RUNS runs (default 30).
#   scripts/bench.sh
#   RUNS=100 MICRO='Neighbour' scripts/bench.sh    (MICRO: a benchmark filter; none: skip)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-30}
scripts/build.sh >/dev/null
cmake --build build -j2 --target wsphere_bench_input wsphere_time_runs >/dev/null
micro=${MICRO:-.}
if [ "$micro" != none ]; then
  cmake --build build -j2 --target wsphere_bench wsphere_analyse_bench >/dev/null
  build/wsphere_bench --benchmark_filter="$micro"
  # The library's analyse() on kyanite supercells of 960 to 96,000 atoms.
  build/wsphere_analyse_bench --benchmark_filter="$micro"
fi
data=$PWD/build/bench-data
build/wsphere_bench_input examples/quartz/input.txt "$data"
binary=$PWD/build/wsphere
timer=build/wsphere_time_runs

for variant in w-tables all; do
  (cd "$data/$variant" && "$binary")
  echo "report, $variant: $(wc -c < "$data/$variant/output.txt") bytes, $(wc -l < "$data/$variant/output.txt") lines"
done
"$timer" "true (starting a process)" "$runs" "$data/all" true
"$timer" "wsphere, W tables only" "$runs" "$data/w-tables" "$binary"
"$timer" "wsphere, every switch on" "$runs" "$data/all" "$binary"
"$timer" "cat output.txt > copy.txt" "$runs" "$data/all" ">copy.txt" cat output.txt
cmp "$data/all/output.txt" "$data/all/copy.txt"
