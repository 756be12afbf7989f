"""Reference distances: the binned measurement equals wsphere-input's plain
loop over every pair, bit for bit; a kind after the second with nothing to
measure gets a placeholder and a ReferenceWarning, the first two are refused."""

import os
import warnings

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


# Si-O 1.6 A, O-Al-O 2.0 A and an F atom at least 5.6 A from every other atom;
# default kinds Si, Al, F, O.
def cage():
    positions = [[0, 0, 0], [0.2, 0, 0], [0.45, 0, 0], [0.7, 0, 0], [0.5, 0.5, 0.5]]
    return wsphere.Crystal(cell=(8, 8, 8, 90, 90, 90), elements=["Si", "O", "Al", "O", "F"], positions=positions)


PLACEHOLDER = ("its reference is set to 0.0000 A, a placeholder: only the references of kinds 1 and 2 enter "
               "the compliance")
NO_BOND = "kind F has no neighbour within the bond limit 2.2000 A; " + PLACEHOLDER
NO_ATOM = "kind Ca holds no atom to measure a reference distance from; " + PLACEHOLDER

LATER_KINDS = [
    ("default kinds", None, [NO_BOND], [1.6, 2.0, 0.0]),
    ("a later kind without atoms", ["Si", "Al", "Ca", "F", "O"], [NO_ATOM, NO_BOND], [1.6, 2.0, 0.0, 0.0]),
    ("the reference given", {"Si": None, "Al": None, "F": 1.9, "O": None}, [], [1.6, 2.0, 1.9]),
]


@pytest.mark.parametrize("what, kinds, expected, references", LATER_KINDS, ids=[c[0] for c in LATER_KINDS])
def test_a_later_kind_without_bonds_gets_a_placeholder_and_a_warning(what, kinds, expected, references):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = wsphere.analyse(cage(), cage(), kinds=kinds)
    assert [str(w.message) for w in caught] == expected
    assert all(w.category is wsphere.ReferenceWarning and w.filename == __file__ for w in caught)
    assert result.references[:-1] == pytest.approx(references, abs=1e-6)
    assert [w for w in result.warnings if w in expected] == expected
    assert issubclass(wsphere.ReferenceWarning, UserWarning)


def test_the_real_run_with_caged_fluoride_warns_and_gives_its_result():
    first, last = wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"))
    with pytest.warns(wsphere.ReferenceWarning, match=r"^kind F has no neighbour within the bond limit 1\.8000 A;"):
        result = wsphere.analyse(first, last, bond_limit=1.8)
    assert result.kinds == ["Si", "Ge", "F", "O"]
    assert result.references[2] == 0.0
    assert len(result) == 186


@pytest.mark.parametrize("kinds", [["Si", "F", "Al", "O"], ["F", "Si", "O"]], ids=["second kind", "first kind"])
def test_the_first_two_kinds_are_still_refused(kinds):
    message = r'^kind F has no neighbour within the bond limit 2\.2000 A; give its reference as \("F", REF\) in kinds$'
    with pytest.raises(wsphere.InputError, match=message):
        wsphere.analyse(cage(), cage(), kinds=kinds)


def test_a_filter_that_makes_warnings_errors_raises_the_warning():
    with warnings.catch_warnings():
        warnings.simplefilter("error", wsphere.ReferenceWarning)
        with pytest.raises(wsphere.ReferenceWarning, match="kind F"):
            wsphere.analyse(cage(), cage())
