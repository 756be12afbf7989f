#!/usr/bin/env python3
"""wsphere.analyse() from Python on the 960-atom kyanite supercell (5 x 3 x 2
cells of examples/kyanite) at a 6 Angstrom sphere, both states as ase.Atoms.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_analyse_bench.py [--repeat N]

Prints the best and the median time per call over N calls (after a warm-up),
for the kinds and references given as in input.txt and for the kinds chosen
as wsphere-input chooses them (reference distances measured)."""

import argparse
import os
import re
import statistics
import time

import wsphere
from wsphere import _core

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def kyanite_states():
    """The example's two states as ase.Atoms, elements from the atom names."""
    with open(os.path.join(ROOT, "examples", "kyanite", "input.txt"), "rb") as stream:
        data = _core.read_input(stream.read())
    elements = [re.match(rb"[A-Za-z]+", name).group(0).decode() for name in data["names"]]
    elements = [e[0] if e not in ("Si", "Al") else e for e in elements]
    states = [wsphere.Crystal(cell=data[f"{which}_cell"], elements=elements, positions=data[which])
              for which in ("initial", "minimised")]
    return [state.to_ase().repeat((5, 3, 2)) for state in states], data["kinds"]


def timings(call, repeat):
    call()
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=200)
    args = parser.parse_args()
    (initial, minimised), kinds = kyanite_states()
    given = [(symbol.decode().strip(), reference if i + 1 < len(kinds) else None)
             for i, (symbol, reference) in enumerate(kinds)]
    print(f"{len(initial)} atoms, sphere 6 A, {args.repeat} calls")
    for label, options in (("kinds, references, limit given", {"kinds": given, "bond_limit": 2.2}),
                           ("the same on two threads", {"kinds": given, "bond_limit": 2.2, "threads": 2}),
                           ("bond limit chosen", {"kinds": given}),
                           ("all as wsphere-input chooses", {}),
                           ("the same on two threads", {"threads": 2})):
        best, median = timings(lambda: wsphere.analyse(initial, minimised, radius=6.0, **options), args.repeat)
        print(f"  {label:32s} best {best * 1e3:7.3f} ms   median {median * 1e3:7.3f} ms")
    best, median = timings(lambda: _core.analyse(*prepared_arguments(initial, minimised, given)), args.repeat)
    print(f"  {'the analysis alone':32s} best {best * 1e3:7.3f} ms   median {median * 1e3:7.3f} ms")


def prepared_arguments(initial, minimised, given):
    first = wsphere.structures.as_crystal(initial)
    second = wsphere.structures.as_crystal(minimised)
    p = _core.prepare(first.elements, first.cell, second.cell, first.positions, second.positions, 6.0, 2.2, given)
    return ([n.encode() for n in p["names"]], p["initial_cell"], p["minimised_cell"], p["initial"],
            p["minimised"], p["radius"], p["bond_limit"], [(s.encode(), float(r)) for s, r in p["kinds"]])


if __name__ == "__main__":
    main()
