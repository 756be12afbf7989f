"""The package's W and compliance equal the program's report: on the examples,
on generated inputs, and on files of a minimisation run turned into input.txt
by wsphere-input."""

import os
import random
import subprocess

import numpy as np
import pytest

import wsphere
from conftest import DATA, EXAMPLE_NAMES, assert_matches_report, binary, example, same_as_printed

import generate


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_examples_match_their_reports(name):
    result = wsphere.analyse_input(example(name, "input.txt"))
    assert_matches_report(result, wsphere.read_report(example(name, "output.txt")))


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_order_and_kind_statistics_match_the_report(name):
    result = wsphere.analyse_input(example(name, "input.txt"))
    report = wsphere.read_report(example(name, "output.txt"))
    ordered = report.w_rows["ordered table"]
    if ordered:
        assert [row["name"] for row in ordered] == [result.names[i][:6].strip() for i in result.order]
        assert [row["w"] for row in ordered] == [f"{result.w[i]:.5f}" for i in result.order]
    summaries = [kind for kind in report.kinds if kind.mean is not None]
    for kind in summaries:
        statistics = next(s for s in result.statistics if s.symbol == kind.symbol)
        assert same_as_printed(statistics.mean, kind.mean, 5)
        if kind.rows:
            assert len(kind.rows) == statistics.count


@pytest.mark.parametrize("name", EXAMPLE_NAMES)
def test_the_program_in_memory_writes_the_shipped_report(name):
    with open(example(name, "input.txt"), "rb") as stream:
        run = wsphere.run(stream.read())
    with open(example(name, "output.txt"), "rb") as stream:
        assert run.report == stream.read()
    assert run.status == 0
    assert run.messages == []


SEED = int(os.environ.get("WSPHERE_TEST_SEED") or random.randrange(1 << 30))


@pytest.mark.parametrize("k", range(60))
def test_generated_inputs_match_the_program(k):
    case = generate.make_case(SEED, k, max_atoms=300)
    if case.input_bytes is None:
        pytest.skip("a case without input.txt")
    run = wsphere.run(case.input_bytes)
    report = wsphere.read_report(run.report)
    if run.status != 0:
        # What stops the program stops the package with the program's messages.
        with pytest.raises(wsphere.InputError):
            wsphere.analyse_input(case.input_bytes)
        return
    try:
        result = wsphere.analyse_input(case.input_bytes)
    except wsphere.InputError as error:
        # The package refuses a structure without atoms, which the program
        # reports as empty tables.
        assert "no atoms" in str(error), f"seed {SEED}: {error}"
        return
    if report.w_rows["W table"]:
        assert_matches_report(result, report)
    if report.w_rows["ordered table"]:
        rows = report.w_rows["ordered table"]
        assert len(rows) == len(result)
        for i, row in zip(result.order, rows):
            assert same_as_printed(float(result.w[i]), row["w"], 5), f"seed {SEED}"


def companion_report(tmp_path, files, *options):
    """The report of wsphere on the input.txt that wsphere-input writes for `files`."""
    output = tmp_path / "input.txt"
    subprocess.run([binary("WSPHERE_INPUT_BINARY", "wsphere-input"), *map(str, files), "-o", str(output),
                    "--switches", "0000001111", *options], check=True, capture_output=True)
    run = wsphere.run(output.read_bytes())
    assert run.status == 0, run.messages
    return wsphere.read_report(run.report)


RUNS = [
    ("gulp/stw-ge-c0002.gout",),
    ("gulp/stw-ge-c0002.gin", "gulp/stw-ge-c0002.res"),
    ("gulp/stw-ge-c0002.cif", "gulp/stw-ge-c0002.gout"),
    ("cif/kyanite_P0_Yang1997_AMCSD0001892.cif", "cif/kyanite_2.54GPa_Yang1997_COD9001838.cif"),
]


@pytest.mark.parametrize("files", RUNS, ids=lambda files: "+".join(os.path.basename(f) for f in files))
def test_files_give_what_wsphere_input_and_wsphere_give(tmp_path, files):
    paths = [os.path.join(DATA, f) for f in files]
    first, second = wsphere.read_pair(*paths)
    result = wsphere.analyse(first, second)
    assert_matches_report(result, companion_report(tmp_path, paths))


@pytest.mark.parametrize("radius, bond_limit, kinds, options", [
    (6.0, 2.2, None, ["--radius", "6"]),
    (4.0, 2.5, ["O", "Si", "Ge", "F"], ["--radius", "4", "--bond-limit", "2.5",
                                        "--kind", "O", "--kind", "Si", "--kind", "Ge", "--kind", "F"]),
    (5.0, 2.2, {"Ge": 1.75, "Si": None, "O": None}, ["--kind", "Ge=1.75", "--kind", "Si", "--kind", "O"]),
])
def test_settings_and_kinds_as_wsphere_input_takes_them(tmp_path, radius, bond_limit, kinds, options):
    path = os.path.join(DATA, "gulp", "stw-ge-c0002.gout")
    result = wsphere.analyse(*wsphere.read_pair(path), radius=radius, bond_limit=bond_limit, kinds=kinds)
    assert_matches_report(result, companion_report(tmp_path, [path], *options))


def test_threads_give_the_result_of_one():
    # 186 atoms of the real run, repeated twice along c: enough for two shares.
    first, second = wsphere.read_pair(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"))
    big = [wsphere.Crystal(cell=[*s.cell[:2], 2 * s.cell[2], *s.cell[3:]], elements=s.elements * 2,
                           positions=np.vstack([s.positions * [1, 1, 0.5], s.positions * [1, 1, 0.5] + [0, 0, 0.5]]))
           for s in (first, second)]
    one = wsphere.analyse(*big, radius=6.0)
    for threads in (2, 0):
        many = wsphere.analyse(*big, radius=6.0, threads=threads)
        assert many.w.tobytes() == one.w.tobytes() and many.compliance.tobytes() == one.compliance.tobytes()
        assert list(many.order) == list(one.order)
    with pytest.raises(wsphere.InputError, match="threads"):
        wsphere.analyse(first, second, threads=-1)
