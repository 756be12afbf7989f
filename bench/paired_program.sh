#!/usr/bin/env bash
# Times two builds of the whole program side by side on one input: BASE and
# NEW run in turn in DIR (which holds input.txt), ROUNDS times each, every time
# as `perf stat -r RUNS` pinned to processor CPU; prints the best and the median
# of the rounds' mean CPU times (task-clock) and page faults, and the ratio.
# Only a paired run compares two builds fairly on this machine (see
# paired_analyse.sh).
#   bench/paired_program.sh BASE_WSPHERE NEW_WSPHERE DIR [ROUNDS] [RUNS] [CPU]
#   bench/paired_program.sh /tmp/base/wsphere build/wsphere /tmp/k960/w-tables 10 20
set -euo pipefail
base=$(realpath "$1")
new=$(realpath "$2")
dir=$3
rounds=${4:-8}
runs=${5:-20}
cpu=${6:-1}
cd "$dir"
for _ in $(seq "$rounds"); do
  for side in base new; do
    binary=$base
    [ "$side" = new ] && binary=$new
    taskset -c "$cpu" perf stat -x, -e task-clock,page-faults -r "$runs" "$binary" 2>&1 >/dev/null |
      awk -F, -v side="$side" '$3 == "task-clock" {clock = $1} $3 == "page-faults" {faults = $1}
                               END {print side, clock, faults}'
  done
done | /usr/bin/python3 -c '
import collections, statistics, sys
clock, faults = collections.defaultdict(list), collections.defaultdict(list)
for line in sys.stdin:
    side, ms, count = line.split()
    clock[side].append(float(ms))
    faults[side].append(float(count))
for side in ("base", "new"):
    print(f"{side:4s} CPU best {min(clock[side]):6.3f} ms median {statistics.median(clock[side]):6.3f} ms   "
          f"page faults {statistics.median(faults[side]):5.1f}")
ratio = statistics.median(clock["new"]) / statistics.median(clock["base"])
print(f"new/base {ratio:.3f}")
'
