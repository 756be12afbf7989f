#!/usr/bin/env python3
"""Throughput of wsphere-batch, end to end: the whole command (start-up,
search, hashing, analysis, database) on a folder of real-sized runs.

The runs are copies of the 186-atom GULP run tests/data/gulp/stw-ge-c0002.gout,
each with its final coordinates moved by up to --shift (fractional) and its
final energy changed a little, so that every file has its own content. They are
made once into build/bench-data/batch-runs (kept for later runs of the
benchmark) with a fixed seed.

    PYTHONPATH=build/python /usr/bin/python3 bench/batch_bench.py [--runs 2000] [--jobs 1 2]

prints, for each worker count, the runs per second of
    python3 -m wsphere.batch RUNS --db NEW.sqlite --radius 5 --jobs N --quiet
"""

import argparse
import os
import random
import resource
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLE = os.path.join(ROOT, "tests", "data", "gulp", "stw-ge-c0002.gout")
ROW = re.compile(r"^(\s*\d+\s+\S+\s+[cs]\s+)(-?\d+\.\d+)(\s+)(-?\d+\.\d+)(\s+)(-?\d+\.\d+)(.*)$")
ENERGY = re.compile(r"^(\s*Final energy\s*=\s*)(-?\d+\.\d+)( eV.*)$")


def perturbed(lines, rng, shift):
    """The lines of a .gout with the final coordinates moved and the final
    energy changed, the columns kept."""
    out = []
    final = False
    for line in lines:
        if "Final fractional coordinates of atoms" in line:
            final = True
        elif final and line.startswith("  Final") and "fractional" not in line:
            final = False
        match = ROW.match(line) if final else None
        if match:
            head, x, gap1, y, gap2, z, tail = match.groups()
            moved = [f"{(float(v) + rng.uniform(-shift, shift)) % 1.0:.6f}" for v in (x, y, z)]
            line = f"{head}{moved[0]}{gap1}{moved[1]}{gap2}{moved[2]}{tail}"
        energy = ENERGY.match(line)
        if energy:
            line = f"{energy.group(1)}{float(energy.group(2)) + rng.uniform(-0.05, 0.05):.8f}{energy.group(3)}"
        out.append(line)
    return out


def make_runs(folder, count, shift, seed=20261209):
    marker = os.path.join(folder, f".made-{count}-{shift}-{seed}")
    if os.path.exists(marker):
        return
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(SAMPLE) as stream:
        lines = stream.read().split("\n")
    rng = random.Random(seed)
    for i in range(count):
        run = os.path.join(folder, f"group{i // 100:03d}", f"run{i:05d}")
        os.makedirs(run)
        with open(os.path.join(run, "stw-ge.gout"), "w") as stream:
            stream.write("\n".join(perturbed(lines, rng, shift)))
    open(marker, "w").close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=2000)
    parser.add_argument("--jobs", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--shift", type=float, default=0.002, help="largest move of a coordinate (fractional)")
    parser.add_argument("--data", default=os.path.join(ROOT, "build", "bench-data", "batch-runs"))
    parser.add_argument("--repeat", type=int, default=1, help="timings per worker count (the best is shown)")
    options = parser.parse_args()

    make_runs(options.data, options.runs, options.shift)
    print(f"{options.runs} runs of 186 atoms in {options.data}, sphere 5 A, local engine")
    with tempfile.TemporaryDirectory() as work:
        for jobs in options.jobs:
            best = None
            for attempt in range(options.repeat):
                database = os.path.join(work, f"bench-{jobs}-{attempt}.sqlite")
                command = [sys.executable, "-m", "wsphere.batch", options.data, "--db", database,
                           "--radius", "5", "--jobs", str(jobs), "--quiet"]
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                started = time.perf_counter()
                subprocess.run(command, check=True)
                elapsed = time.perf_counter() - started
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
                with sqlite3.connect(database) as connection:
                    ok, = connection.execute("SELECT count(*) FROM runs WHERE status = 'ok'").fetchone()
                if ok != options.runs:
                    sys.exit(f"only {ok} of {options.runs} runs went well")
                if best is None or elapsed < best[0]:
                    best = (elapsed, cpu, os.getloadavg()[0])
            elapsed, cpu, load = best
            print(f"  {jobs} worker{'s' if jobs != 1 else ' '}: {options.runs / elapsed:7.0f} runs/s "
                  f"({elapsed:.2f} s for the whole command, {cpu:.2f} s of CPU: {cpu / options.runs * 1e3:.2f} ms "
                  f"a run; load average {load:.1f})")


if __name__ == "__main__":
    main()
