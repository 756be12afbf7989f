"""What the package makes of a result: tables, pictures, extended XYZ, and the
report tables wsphere-summary prints."""

import io
import os
import subprocess
import sys

import numpy as np
import pytest

import wsphere
from conftest import DATA, EXAMPLE_NAMES, ROOT, example

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import wsphere.plot  # noqa: E402

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


@pytest.fixture(scope="module")
def kyanite():
    return wsphere.analyse_input(example("kyanite", "input.txt"))


@pytest.fixture(scope="module")
def run_pair():
    first, second = wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"))
    return first, wsphere.analyse(first, second)


def test_to_pandas_holds_every_atom(kyanite):
    frame = kyanite.to_pandas()
    assert list(frame.columns) == ["name", "kind", "w", "compliance", "members", "bonded"]
    assert list(frame.index) == list(range(1, len(kyanite) + 1))
    np.testing.assert_array_equal(frame["w"].to_numpy(), kyanite.w)
    assert frame["w"].dtype == np.float32
    assert frame.loc[15, "name"] == "O3" and frame.loc[1, "kind"] == "Al"
    stats = kyanite.statistics_to_pandas()
    assert list(stats.index) == ["Si", "Al", "O"] and list(stats["count"]) == [4, 8, 20]


def test_kind_statistics_follow_from_the_atoms(kyanite):
    for k, statistics in enumerate(kyanite.statistics):
        w = kyanite.w[kyanite.kind == k].astype(np.float64)
        assert statistics.count == w.size
        assert statistics.mean == pytest.approx(w.mean(), rel=1e-5)
        assert statistics.sigma == pytest.approx(w.std(ddof=1), rel=1e-3)


def test_largest_comes_from_the_order(kyanite):
    largest = kyanite.largest(4)
    assert [kyanite.names[i] for i in largest[:2]] == ["O4", "O3"] or \
        sorted(kyanite.names[i] for i in largest[:2]) == ["O3", "O4"]
    assert list(kyanite.w[largest]) == sorted(kyanite.w[largest], reverse=True)


def png_bytes(figure):
    buffer = io.BytesIO()
    figure.savefig(buffer, format="png")
    return buffer.getvalue()


def texts(figure):
    return {text.get_text() for ax in figure.axes for text in ax.texts}


@pytest.mark.parametrize("source", ["result", "report"])
def test_w_by_atom_names_the_largest(kyanite, source):
    data = kyanite if source == "result" else wsphere.read_report(example("kyanite", "output.txt"))
    figure = wsphere.plot.w_by_atom(data, label=4)
    assert png_bytes(figure).startswith(PNG_SIGNATURE)
    assert texts(figure) == {kyanite.names[i] for i in kyanite.largest(4)}
    bars = [patch for patch in figure.axes[0].patches]
    assert len(bars) == len(kyanite)
    # A report gives W to five decimals.
    assert max(bar.get_height() for bar in bars) == pytest.approx(float(kyanite.w.max()), abs=5e-6)


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_w_by_kind_has_a_box_per_kind(name):
    result = wsphere.analyse_input(example(name, "input.txt"))
    figure = wsphere.plot.w_by_kind(result)
    labels = [label.get_text().split("\n")[0] for label in figure.axes[0].get_xticklabels()]
    expected = [k for k in result.kinds if (result.kind == result.kinds.index(k)).any()]
    assert labels == expected + (["no kind"] if (result.kind < 0).any() else [])
    assert png_bytes(figure).startswith(PNG_SIGNATURE)


def test_many_atoms_are_drawn_as_points(kyanite):
    first, _ = wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"))
    big = first.to_ase().repeat((2, 1, 1))
    result = wsphere.analyse(big, big)
    figure = wsphere.plot.w_by_atom(result, log=True)
    ax = figure.axes[0]
    assert ax.get_yscale() == "log"
    assert not ax.patches
    assert sum(len(line.get_xdata()) for line in ax.lines) == len(result) == 372


def test_both_pictures_in_one_file(tmp_path, kyanite):
    path = tmp_path / "w.png"
    wsphere.plot.both(kyanite, path)
    data = path.read_bytes()
    assert data.startswith(PNG_SIGNATURE) and len(data) > 10000


@pytest.mark.parametrize("as_ase", [False, True])
def test_extxyz_reads_back_in_ase(tmp_path, run_pair, as_ase):
    ase_io = pytest.importorskip("ase.io")
    state, result = run_pair
    structure = state.to_ase() if as_ase else state
    path = tmp_path / "w.xyz"
    wsphere.write_extxyz(result, structure, path)
    atoms = ase_io.read(path)
    np.testing.assert_array_equal(atoms.arrays["W"], result.w)
    np.testing.assert_array_equal(atoms.arrays["compliance"], result.compliance)
    np.testing.assert_array_equal(atoms.arrays["members"], result.members)
    assert atoms.get_chemical_symbols() == state.elements
    np.testing.assert_allclose(atoms.cell.cellpar(), state.cell, atol=1e-9)
    np.testing.assert_allclose(atoms.get_scaled_positions(wrap=False), state.positions, atol=1e-9)


def test_extxyz_refuses_a_structure_of_another_size(tmp_path, run_pair, kyanite):
    state, _ = run_pair
    with pytest.raises(ValueError, match="the result has 32 atoms, the structure 186"):
        wsphere.write_extxyz(kyanite, state, tmp_path / "w.xyz")


def test_extxyz_keeps_nan_w(tmp_path):
    ase_io = pytest.importorskip("ase.io")
    lonely = wsphere.Crystal(cell=(20, 20, 20, 90, 90, 90), elements=["Si", "O"],
                             positions=[[0, 0, 0], [0.5, 0.5, 0.5]])
    result = wsphere.analyse(lonely, lonely, kinds=[("Si", 1.6), "O"])
    assert np.isnan(result.w).all()
    path = tmp_path / "lonely.xyz"
    wsphere.write_extxyz(result, lonely, path)
    assert np.isnan(ase_io.read(path).arrays["W"]).all()


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_report_tables_agree_from_path_and_bytes(name):
    path = example(name, "output.txt")
    by_path = wsphere.read_report(path)
    with open(path, "rb") as stream:
        by_bytes = wsphere.read_report(stream.read())
    assert by_path.w_rows == by_bytes.w_rows
    atoms = by_path.atoms()
    result = wsphere.analyse_input(example(name, "input.txt"))
    assert [atom[1] for atom in atoms] == result.names
    # The report names an atom in no kind after its leading letters.
    assert all(atom[2] == kind for atom, kind in zip(atoms, result.kind_symbols()) if kind)


def test_summary_draws_a_png(tmp_path):
    path = tmp_path / "summary.png"
    done = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "wsphere-summary"),
                           example("lawsonite", "output.txt"), "--plot", str(path), "--only", "kinds"],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("W by kind")
    assert path.read_bytes().startswith(PNG_SIGNATURE)


def test_summary_reports_an_unwritable_picture(tmp_path):
    done = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "wsphere-summary"),
                           example("quartz", "output.txt"), "--plot", str(tmp_path / "no" / "w.png")],
                          capture_output=True, text=True)
    assert done.returncode == 1 and "w.png" in done.stderr
