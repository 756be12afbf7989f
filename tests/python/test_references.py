"""The binned measurement of reference distances equals wsphere-input's plain
loop over every pair, bit for bit."""

import os

import numpy as np
import pytest

import wsphere
from wsphere import _core
from conftest import DATA

FILES = ["gulp/stw-ge-c0002.gin", "cif/kyanite_P0_Yang1997_AMCSD0001892.cif",
         "cif/quartz_Tucker2001_COD1526860.cif"]


def both(elements, cell, positions, kinds, kind, limit):
    fast, plain = _core._compare_references(elements, list(cell), np.asarray(positions, dtype=float),
                                            kinds, kind, limit)
    return fast, plain


@pytest.mark.parametrize("path", FILES)
@pytest.mark.parametrize("limit", [1.0, 2.2, 3.5, 9.0])
def test_files(path, limit):
    state = wsphere.read(os.path.join(DATA, path))
    kinds = sorted(set(state.elements), key=len, reverse=True)
    for kind in range(len(kinds)):
        fast, plain = both(state.elements, state.cell, state.positions, kinds, kind, limit)
        assert fast == plain


@pytest.mark.parametrize("seed", range(25))
def test_random_cells(seed):
    rng = np.random.default_rng(seed)
    n = int(rng.integers(1, 120))
    edges = rng.uniform(3.0, 14.0, 3)
    angles = rng.uniform(65.0, 115.0, 3)
    positions = rng.random((n, 3))
    # Atoms on the cell's faces and corners as well.
    positions[rng.random((n, 3)) < 0.1] = 0.0
    elements = list(rng.choice(["Si", "O", "Al"], n))
    limit = float(rng.uniform(0.5, 8.0))
    for kind in range(3):
        fast, plain = both(elements, (*edges, *angles), positions, ["Si", "Al", "O"], kind, limit)
        assert fast == plain, (seed, kind)
