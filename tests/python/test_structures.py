"""Structures from files, ase.Atoms, pymatgen and the package's own Crystal
give the same analysis; bad input raises a clear exception."""

import math
import os
import threading

import numpy as np
import pytest

import wsphere
import wsphere.analysis
import wsphere.structures
from conftest import DATA, example

ase = pytest.importorskip("ase")
ase_io = pytest.importorskip("ase.io")
pymatgen_core = pytest.importorskip("pymatgen.core")

GOUT = os.path.join(DATA, "gulp", "stw-ge-c0002.gout")


@pytest.fixture(scope="module")
def pair():
    return wsphere.read_pair(GOUT)


def arrays(result):
    return [result.w, result.compliance, result.members, result.bonded, result.kind, result.order]


CONVERSIONS = {
    "crystal": lambda state: state,
    "ase": lambda state: state.to_ase(),
    "pymatgen": lambda state: state.to_pymatgen(),
    "ase-unwrapped": lambda state: _shifted_ase(state),
}


def _shifted_ase(state):
    # Positions a whole cell away from [0, 1) are the same atoms.
    atoms = state.to_ase()
    atoms.set_scaled_positions(atoms.get_scaled_positions() + np.array([1.0, -2.0, 3.0]))
    return atoms


@pytest.mark.parametrize("first", CONVERSIONS)
@pytest.mark.parametrize("second", ["crystal", "ase", "pymatgen"])
def test_every_kind_of_structure_gives_the_same_result(pair, first, second):
    expected = wsphere.analyse(*pair, radius=6.0)
    result = wsphere.analyse(CONVERSIONS[first](pair[0]), CONVERSIONS[second](pair[1]), radius=6.0)
    assert result.names == expected.names
    assert result.kinds == expected.kinds and result.references == expected.references
    for got, want in zip(arrays(result), arrays(expected)):
        np.testing.assert_array_equal(got, want)


@pytest.mark.filterwarnings("ignore:crystal system")
def test_a_cif_read_by_ase_gives_what_wsphere_reads():
    path = os.path.join(DATA, "gulp", "stw-ge-c0002.cif")
    ours = wsphere.read(path)
    theirs = ase_io.read(path)
    assert sorted(theirs.get_chemical_symbols()) == sorted(ours.elements)
    # Match the atoms by position, then compare the analyses atom by atom.
    order = []
    scaled = theirs.get_scaled_positions()
    for element, position in zip(ours.elements, ours.positions):
        delta = (scaled - position + 0.5) % 1.0 - 0.5
        j = int(np.argmin((delta ** 2).sum(axis=1)))
        assert theirs[j].symbol == element and np.abs(delta[j]).max() < 1e-6
        order.append(j)
    theirs = theirs[order]
    minimised = wsphere.read(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"), minimised=True)
    a = wsphere.analyse(ours, minimised)
    b = wsphere.analyse(theirs, minimised)
    np.testing.assert_array_equal(a.w, b.w)
    np.testing.assert_array_equal(a.compliance, b.compliance)


@pytest.mark.parametrize("path, atoms, minimised_differs", [
    ("gulp/stw-ge-c0002.gout", 186, True),
    ("gulp/stw-ge-c0002.gin", 186, False),
    ("gulp/stw-ge-c0002.res", 186, False),
    ("gulp/stw-ge-c0002.cif", 186, False),
    ("cif/kyanite_P0_Yang1997_AMCSD0001892.cif", 32, False),
])
def test_readers(path, atoms, minimised_differs):
    first = wsphere.read(os.path.join(DATA, path))
    last = wsphere.read(os.path.join(DATA, path), minimised=True)
    assert len(first) == atoms and first.positions.shape == (atoms, 3)
    assert ((first.positions >= 0) & (first.positions < 1)).all()
    assert (first.cell != last.cell) == minimised_differs
    assert first.origins and len(first.origins) == atoms


def test_a_crystal_round_trips_through_ase_and_pymatgen(pair):
    state = pair[0]
    atoms = state.to_ase()
    np.testing.assert_allclose(atoms.cell.cellpar(), state.cell, atol=1e-9)
    np.testing.assert_allclose(atoms.get_scaled_positions(wrap=False), state.positions, atol=1e-12)
    structure = state.to_pymatgen()
    np.testing.assert_allclose(structure.frac_coords, state.positions, atol=1e-12)
    assert [s.specie.symbol for s in structure] == state.elements


def crystal(cell=(5.0, 5.0, 5.0, 90.0, 90.0, 90.0), elements=("Si", "O"), positions=None):
    positions = [[0.0, 0.0, 0.0], [0.3, 0.0, 0.0]] if positions is None else positions
    return wsphere.Crystal(cell=cell, elements=list(elements), positions=positions)


def bad_file(tmp_path, name, text):
    path = tmp_path / name
    path.write_text(text)
    return str(path)


ANALYSE_FAULTS = [
    ("mismatched atom counts", lambda: (crystal(), crystal(elements=["Si"], positions=[[0, 0, 0]])),
     {}, "the initial state has 2 atoms, the minimised state 1"),
    ("NaN cell", lambda: (crystal(cell=(5.0, math.nan, 5.0, 90, 90, 90)), crystal()), {}, "not finite"),
    ("infinite cell", lambda: (crystal(), crystal(cell=(5.0, 5.0, math.inf, 90, 90, 90))), {}, "not finite"),
    ("zero edge", lambda: (crystal(cell=(0.0, 5.0, 5.0, 90, 90, 90)), crystal()), {}, "edge"),
    ("flat angle", lambda: (crystal(cell=(5.0, 5.0, 5.0, 180, 90, 90)), crystal()), {}, "angle"),
    ("angles that make no cell", lambda: (crystal(cell=(5.0, 5.0, 5.0, 170, 10, 90)),) * 2, {}, "cell"),
    ("no atoms", lambda: (crystal(elements=[], positions=np.zeros((0, 3))),) * 2, {}, "no atoms"),
    ("NaN position", lambda: (crystal(positions=[[0, 0, math.nan], [0.3, 0, 0]]), crystal()), {}, "not finite"),
    ("negative radius", lambda: (crystal(), crystal()), {"radius": -1.0}, "sphere radius"),
    ("NaN bond limit", lambda: (crystal(), crystal()), {"bond_limit": math.nan}, "bond limit"),
    ("reference of the last kind", lambda: (crystal(), crystal()),
     {"kinds": [("Si", 1.6), ("O", 1.0)]}, "last kind"),
    ("a kind twice", lambda: (crystal(), crystal()), {"kinds": ["Si", "Si", "O"]}, "twice"),
    ("a kind without atoms to measure", lambda: (crystal(), crystal()), {"kinds": ["Ge", "O"]}, "no atom"),
    ("an element swapped", lambda: (crystal(), crystal(elements=["O", "Si"])), {}, None),
]


@pytest.mark.parametrize("what, states, options, message", ANALYSE_FAULTS, ids=[f[0] for f in ANALYSE_FAULTS])
def test_bad_structures_raise_input_error(what, states, options, message):
    first, second = states()
    if message is None:
        # Elements are the initial state's; the minimised one gives positions only.
        wsphere.analyse(first, second, **options)
        return
    with pytest.raises(wsphere.InputError, match=message):
        wsphere.analyse(first, second, **options)
    assert issubclass(wsphere.InputError, ValueError)


def test_a_foreign_object_is_a_type_error():
    with pytest.raises(TypeError, match="ase.Atoms"):
        wsphere.analyse("quartz", crystal())


def test_a_disordered_pymatgen_structure_is_refused():
    lattice = pymatgen_core.Lattice.cubic(5.0)
    mixed = pymatgen_core.Structure(lattice, [{"Si": 0.5, "Ge": 0.5}, "O"], [[0, 0, 0], [0.3, 0, 0]])
    with pytest.raises(wsphere.InputError, match="more than one species"):
        wsphere.analyse(mixed, mixed)


def test_an_ase_molecule_without_a_cell_is_refused():
    molecule = ase.Atoms("SiO", positions=[[0, 0, 0], [1.6, 0, 0]])
    with pytest.raises(wsphere.InputError, match="periodic cell"):
        wsphere.analyse(molecule, molecule)


FILE_FAULTS = [
    ("unknown file type", "run.xyz", "1\n\nSi 0 0 0\n", "neither a GULP output"),
    ("a .gin without a cell", "bad.gin", "opti conp\nfractional\nSi core 0 0 0\n", "bad.gin"),
    ("a .gin with a bad number", "bad.gin", "cell\n5 5 5 90 90 x\nfractional\nSi core 0 0 0\n", "line 2"),
    ("an empty .gout", "bad.gout", "", "bad.gout"),
    ("a .cif without atoms", "bad.cif", "data_x\n_cell_length_a 5\n", "bad.cif"),
]


@pytest.mark.parametrize("what, name, text, message", FILE_FAULTS, ids=[f[0] for f in FILE_FAULTS])
def test_bad_files_raise_input_error_naming_file_and_line(tmp_path, what, name, text, message):
    path = bad_file(tmp_path, name, text)
    with pytest.raises(wsphere.InputError, match=message):
        wsphere.read(path)


def test_missing_files_and_single_files_that_are_no_run(tmp_path):
    with pytest.raises(wsphere.InputError, match="no such file"):
        wsphere.read(tmp_path / "none.gin")
    (tmp_path / "folder.cif").mkdir()
    with pytest.raises(wsphere.InputError, match="not a regular file"):
        wsphere.read(tmp_path / "folder.cif")
    with pytest.raises(wsphere.InputError, match="single file must be a printed output"):
        wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gin"))


@pytest.mark.parametrize("second, message", [
    ("cif/kyanite_P0_Yang1997_AMCSD0001892.cif", "atom 1 differs: Si from .*line 11 .*, Al from .*site Al1"),
    ("gulp/stw-ge3-c0002.gout", "atom 1 differs: Si .*, Ge "),
])
def test_states_with_other_atoms_are_refused(second, message):
    with pytest.raises(wsphere.InputError, match=message):
        wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gin"), os.path.join(DATA, second))


def test_states_of_other_sizes_are_refused():
    small = crystal()
    large = crystal(elements=["Si", "O", "O"], positions=[[0, 0, 0], [0.3, 0, 0], [0.6, 0, 0]])
    with pytest.raises(wsphere.InputError, match="the initial state has 2 atoms, the minimised state 3; "
                                                 "the first without a partner is atom 3, O"):
        wsphere.structures.check_same_atoms(small, large)


@pytest.mark.parametrize("text, message", [
    (b"", "24"),
    (b"5 5 5 90 90 90 c\n5 5 5 90 90 x c\n", "59"),
])
def test_a_bad_input_txt_raises_the_programs_message(text, message):
    with pytest.raises(wsphere.InputError, match=message):
        wsphere.analyse_input(text)


def test_analyses_in_threads_agree(pair):
    # The analysis runs without the GIL: threads run it side by side.
    expected = wsphere.analyse(*pair, radius=7.0)
    results = [None] * 4

    def work(k):
        results[k] = wsphere.analyse(*pair, radius=7.0)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        np.testing.assert_array_equal(result.w, expected.w)


def test_run_takes_bytes_only():
    with pytest.raises(TypeError, match="bytes"):
        wsphere.run(example("quartz", "input.txt"))


def test_run_of_a_damaged_input_gives_status_and_messages():
    run = wsphere.run(b"5 5 5 90 90 90 c\n", directory="/data")
    assert run.status == 24
    assert any("/data/input.txt" in line for line in run.messages)
    report, messages, status = run
    assert status == 24 and messages == run.messages


def test_the_analysis_lets_other_threads_run(pair):
    # While one thread analyses a large structure, another keeps running: its
    # longest wait is far shorter than the analysis (which would hold it up
    # whole if the analysis kept the GIL).
    import time
    # Larger copies until one analysis takes long enough to tell.
    for repeat in ((3, 3, 2), (4, 4, 3), (6, 6, 4), (8, 8, 6)):
        big = pair[0].to_ase().repeat(repeat)
        moved = pair[1].to_ase().repeat(repeat)
        start = time.perf_counter()
        wsphere.analyse(big, moved, radius=10.0, kinds=[("Si", 1.6), ("Ge", 1.7), ("F", 1.8), "O"])
        alone = time.perf_counter() - start
        if alone > 0.05:
            break
    done = threading.Event()

    def work():
        wsphere.analyse(big, moved, radius=10.0, kinds=[("Si", 1.6), ("Ge", 1.7), ("F", 1.8), "O"])
        done.set()

    worker = threading.Thread(target=work)
    longest = 0.0
    last = time.perf_counter()
    worker.start()
    while not done.is_set():
        now = time.perf_counter()
        longest = max(longest, now - last)
        last = now
    worker.join()
    assert alone > 0.02, "the structure is too small to tell"
    assert longest < alone / 2, (longest, alone)
