#!/usr/bin/env bash
# A real control-C through Wine: Wine turns SIGINT into the console event
# CTRL_C_EVENT for the program's handler. A run long enough to be caught in
# the middle (1000 atoms, a wide sphere, every section on: a report of about
# a gigabyte) gets SIGINT from its first report line on, until it ends; it
# must end with message 200 and status 0xC000013A, whose low byte (58) is
# what Wine passes on, and keep whole report lines only.
#   control_c_test.sh WINE_SH WSPHERE_EXE
set -euo pipefail
wine_sh="$1"
exe="$2"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT

python3 - "$folder/input.txt" <<'PY'
import random, sys
rng = random.Random(7)
lines = ["10.0 10.0 10.0 90.0 90.0 90.0 cell-initial", "10.1 10.0 9.9 90.0 90.0 90.0 cell-minimised",
         "long-run", "14.9 radius", "2.5 bond-limit", "3 kinds", "Si kind-1", "Al kind-2", "O kind-3",
         "1.61 ref-1", "1.74 ref-2", "switches"] + ["1 on"] * 10 + ["atoms", "1000 count"]
atoms = [(rng.random(), rng.random(), rng.random()) for _ in range(1000)]
lines += [f"{i} O{i} {x:.5f} {y:.5f} {z:.5f}" for i, (x, y, z) in enumerate(atoms, 1)]
lines += [f"{i} O{i} {x + 0.001:.5f} {y:.5f} {z - 0.001:.5f}" for i, (x, y, z) in enumerate(atoms, 1)]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

cd "$folder"
# Job control on: a shell script's background job would otherwise start with
# SIGINT ignored.
set -m
"$wine_sh" "$exe" 2>err.txt &
pid=$!
# Before Wine is up a signal would end the process as on Linux: wait until
# the report has begun, then send until the end.
for _ in $(seq 600); do
  [ -s output.txt ] && break
  sleep 0.05
done
while kill -INT "$pid" 2>/dev/null; do sleep 0.2; done
status=0
wait "$pid" || status=$?

expected_err="runerr: error (200): program aborting due to control-C event"
size=$(stat -c %s output.txt)
last_two=$(tail -c 2 output.txt | od -An -c | tr -d ' ')
if [ "$status" -ne 58 ] || [ "$(cat err.txt)" != "$expected_err" ] || [ "$last_two" != '\r\n' ]; then
  echo "control-C: status $status (expected 58), report of $size bytes ending in '$last_two', standard error:"
  cat err.txt
  exit 1
fi
echo "control-C: message 200, status 0xC000013A (58 through Wine), $size bytes of whole report lines"
