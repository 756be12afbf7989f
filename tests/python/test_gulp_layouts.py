"""GULP outputs of every layout, whatever their names, from Python and the
batch: configurations, runs that did not converge, the bond limit chosen
from the structure, and the files a folder holds that are no run."""

import os
import shutil
import sqlite3
import subprocess
import warnings

import numpy as np
import pytest

import wsphere
from conftest import DATA, binary
from test_batch import command, rows

GULP = os.path.join(DATA, "gulp")


def layout(name):
    return os.path.join(GULP, name)


def test_read_pair_takes_a_configuration_and_refuses_to_guess():
    with pytest.raises(wsphere.InputError, match=r"2 configurations \(1: Mg4O4, 2: Ca4O4\); choose one"):
        wsphere.read_pair(layout("two-configurations.out"))
    first, second = wsphere.read_pair(layout("two-configurations.out"), configuration=2)
    assert set(first.elements) == {"Ca", "O"} and second.cell[0] == pytest.approx(4.7722, abs=1e-4)
    with pytest.raises(wsphere.InputError, match="configuration must be a number from 1"):
        wsphere.read_pair(layout("two-configurations.out"), configuration=0)


def test_a_run_that_did_not_converge_warns_and_says_so_in_the_result():
    with pytest.warns(wsphere.ConvergenceWarning, match='GULP: "Too many failed attempts to optimise"'):
        pair = wsphere.read_pair(layout("too-many-failed.gout"))
    result = wsphere.analyse(*pair)
    assert not result.converged and result.notice == "Too many failed attempts to optimise"
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert wsphere.analyse(*wsphere.read_pair(layout("fluorite.gout"))).converged


@pytest.mark.parametrize("bond_limit, chosen, expected", [(None, True, 2.55), (2.4, False, 2.4)])
def test_the_bond_limit_is_chosen_unless_given(bond_limit, chosen, expected):
    result = wsphere.analyse(*wsphere.read_pair(layout("fluorite.gout")), bond_limit=bond_limit)
    assert result.bond_limit == np.float32(expected) and result.bond_limit_chosen == chosen


RUNS = {"r3c/corundum.got": "centred-r3c.got", "mgo-cao/run.out": "two-configurations.out",
        "quartz/opt.log": "not-converged.log", "perovskite/run.gout": "cubic-perovskite.gout",
        "surface/slab.gout": "surface.gout"}


@pytest.fixture(scope="module")
def batch_of_layouts(tmp_path_factory):
    root = tmp_path_factory.mktemp("layouts")
    for name, source in RUNS.items():
        os.makedirs(root / "runs" / os.path.dirname(name), exist_ok=True)
        shutil.copyfile(layout(source), root / "runs" / name)
    (root / "runs" / "notes.txt").write_text("not a run\n")
    shutil.copyfile(os.path.join(DATA, "cif", "quartz_Tucker2001_COD1526860.cif"), root / "runs" / "quartz.cif")
    done = command(root / "runs", "--db", root / "r.sqlite", "--verbose")
    assert done.returncode == 0, done.stderr
    return root, done


def test_the_batch_takes_outputs_by_content_one_row_per_configuration(batch_of_layouts):
    root, done = batch_of_layouts
    found = rows(root / "r.sqlite", "SELECT path, configuration, status, converged, bond_limit, message FROM runs "
                                    "ORDER BY path, configuration")
    by_name = {(os.path.relpath(path, root / "runs"), n): tuple(row) for path, n, *row in found}
    assert sorted(by_name) == [("mgo-cao/run.out", 1), ("mgo-cao/run.out", 2), ("perovskite/run.gout", 1),
                               ("quartz/opt.log", 1), ("r3c/corundum.got", 1), ("surface/slab.gout", 1)]
    assert by_name[("quartz/opt.log", 1)][:2] == ("ok", 0)
    assert "the optimisation did not converge" in by_name[("quartz/opt.log", 1)][3]
    assert by_name[("perovskite/run.gout", 1)][:3] == ("ok", 1, np.float32(3.05))
    assert by_name[("mgo-cao/run.out", 2)][2] == np.float32(2.91)
    assert by_name[("surface/slab.gout", 1)][0] == "failed" and "surface" in by_name[("surface/slab.gout", 1)][3]
    lines = done.stderr.splitlines()
    assert lines[-1] == "wsphere-batch: looked at 7 files, left out 2 as not a run"
    assert f"wsphere-batch: left out {root / 'runs' / 'notes.txt'}: neither a GULP output nor an input.txt" in lines


@pytest.mark.parametrize("name, configuration", [("r3c/corundum.got", 1), ("mgo-cao/run.out", 2),
                                                 ("quartz/opt.log", 1)])
def test_the_batch_and_the_program_give_the_same_w(batch_of_layouts, tmp_path, name, configuration):
    root, _ = batch_of_layouts
    path = root / "runs" / name
    subprocess.run([binary("WSPHERE_INPUT_BINARY", "wsphere-input"), path, "--configuration", str(configuration),
                    "-o", tmp_path / "input.txt"], check=True, capture_output=True)
    subprocess.run([binary("WSPHERE_BINARY", "wsphere")], cwd=tmp_path, check=True)
    expected = wsphere.analyse_input(tmp_path / "input.txt")
    w = rows(root / "r.sqlite", "SELECT a.w FROM atoms a JOIN runs r ON r.id = a.run WHERE r.path = ? AND "
                                "r.configuration = ? ORDER BY a.number", str(path), configuration)
    assert np.array_equal(np.array([np.nan if v is None else v for (v,) in w], dtype=np.float32), expected.w,
                          equal_nan=True)


def test_a_database_of_the_first_schema_is_taken_over_with_its_rows(tmp_path):
    database = tmp_path / "old.sqlite"
    with sqlite3.connect(database) as connection:
        connection.executescript("""
            CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
            INSERT INTO meta VALUES ('schema', '1');
            CREATE TABLE runs (id INTEGER PRIMARY KEY, path TEXT NOT NULL, source TEXT NOT NULL, hash TEXT NOT NULL,
                settings TEXT NOT NULL, status TEXT NOT NULL, message TEXT, atoms INTEGER, energy REAL, radius REAL,
                bond_limit REAL, report TEXT, seconds REAL, finished TEXT, UNIQUE (path, hash, settings));
            INSERT INTO runs VALUES (1, '/old/run.gout', 'gout', 'abc', '{}', 'ok', NULL, 9, -1.5, 5.0, 2.2, NULL,
                0.1, '2026-01-01T00:00:00.000Z');""")
    done = command(layout("fluorite.gout"), "--db", database)
    assert done.returncode == 0, done.stderr
    assert rows(database, "SELECT value FROM meta WHERE key = 'schema'") == [("2",)]
    assert rows(database, "SELECT path, configuration, converged, atoms FROM runs ORDER BY id") == [
        ("/old/run.gout", 1, None, 9), (layout("fluorite.gout"), 1, 1, 12)]


def test_a_crystal_of_one_two_letter_element_counts_its_atoms_in_a_kind():
    fcc = [(0, 0, 0), (0, 0.5, 0.5), (0.5, 0, 0.5), (0.5, 0.5, 0)]
    initial = wsphere.Crystal((3.615,) * 3 + (90.0,) * 3, ["Cu"] * 4, fcc)
    minimised = wsphere.Crystal((3.60,) * 3 + (90.0,) * 3, ["Cu"] * 4, fcc)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        result = wsphere.analyse(initial, minimised, radius=4.0)
    assert result.kinds == ["Cu", "X"] and result.kind.tolist() == [0] * 4 and result.warnings == []
    assert result.bond_limit == np.float32(3.09) and result.bonded.tolist() == [12] * 4


def test_a_named_file_is_taken_by_its_content(tmp_path):
    cif = os.path.join(DATA, "cif", "quartz_Tucker2001_COD1526860.cif")
    refused = command(cif, "--db", tmp_path / "r.sqlite")
    assert refused.returncode == 2 and "neither a GULP output (by its content), an input.txt nor a folder" in refused.stderr
    taken = command(layout("centred-r3c.got"), "--db", tmp_path / "r.sqlite")
    assert taken.returncode == 0, taken.stderr
    assert rows(tmp_path / "r.sqlite", "SELECT source, status, atoms FROM runs") == [("gout", "ok", 30)]
