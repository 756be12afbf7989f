#!/usr/bin/env bash
# Times two builds of the analysis benchmark side by side: BASE and NEW run in
# turn, ROUNDS times each, pinned to processor CPU, and the best and the median
# time of each are printed with their ratio. This machine's speed drifts by up
# to half between quiet and busy periods, so only a paired run compares two
# builds fairly.
#   bench/paired_analyse.sh BASE_BENCH NEW_BENCH [FILTER] [ROUNDS] [CPU]
#   bench/paired_analyse.sh /tmp/base/build/wsphere_analyse_bench build/wsphere_analyse_bench 'Analyse960$' 7
set -euo pipefail
base=$1
new=$2
filter=${3:-'Analyse960$'}
rounds=${4:-5}
cpu=${5:-1}
for _ in $(seq "$rounds"); do
  for side in base new; do
    binary=$base
    [ "$side" = new ] && binary=$new
    taskset -c "$cpu" "$binary" --benchmark_filter="$filter" --benchmark_min_time=0.3 2>/dev/null |
      awk -v side="$side" '/^Analyse/ {print side, $1, $2}'
  done
done | /usr/bin/python3 -c '
import collections, statistics, sys
times = collections.defaultdict(list)
for line in sys.stdin:
    side, name, value = line.split()
    times[(name, side)].append(float(value))
for name in sorted({name for name, _ in times}):
    base, new = times[(name, "base")], times[(name, "new")]
    print(f"{name:40s} base best {min(base):8.3f} median {statistics.median(base):8.3f}   "
          f"new best {min(new):8.3f} median {statistics.median(new):8.3f}   "
          f"new/base {statistics.median(new) / statistics.median(base):.3f}")
'
