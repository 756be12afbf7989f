"""wsphere-batch: the database it writes against the program, failures kept as
rows, reruns that do only what is missing, a real interrupt, the distributed
engine against the local one, the README's questions and the picture."""

import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import time

import numpy as np
import pytest

import wsphere
from wsphere import _core, batch
from conftest import DATA, ROOT, binary, example, same_as_printed

GULP = os.path.join(DATA, "gulp")
SAMPLE = os.path.join(GULP, "stw-ge-c0002.gout")
SAMPLE3 = os.path.join(GULP, "stw-ge3-c0002.gout")


PACKAGE_PATH = os.path.dirname(os.path.dirname(os.path.abspath(wsphere.__file__)))
ENVIRONMENT = dict(os.environ, PYTHONPATH=os.pathsep.join(
    filter(None, [PACKAGE_PATH, os.environ.get("PYTHONPATH", "")])))


def command(*args, **kwargs):
    """wsphere-batch as a process of its own."""
    return subprocess.run([sys.executable, "-m", "wsphere.batch", *map(str, args)], capture_output=True,
                          text=True, timeout=120, env=ENVIRONMENT, **kwargs)


def rows(database, sql, *parameters):
    with sqlite3.connect(database) as connection:
        return connection.execute(sql, parameters).fetchall()


def runs_by_path(database):
    return {row[0]: row[1:] for row in rows(database, "SELECT path, status, message, atoms, energy FROM runs")}


def tree(root, layout):
    """Files under `root` from {relative path: source file or bytes}."""
    for name, content in layout.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(content, bytes):
            with open(path, "wb") as stream:
                stream.write(content)
        else:
            shutil.copyfile(content, path)
    return root


def sample_text():
    with open(SAMPLE, "rb") as stream:
        return stream.read()


# ---------------------------------------------------------------------------
# The values: as the program's, for .gout runs through wsphere-input.

@pytest.mark.parametrize("options", [[], ["--radius", "6.5", "--bond-limit", "2.0"],
                                     ["--kind", "SI", "--kind", "Ge=1.8", "--kind", "O"]])
def test_w_of_a_gout_run_is_the_programs_w_of_its_input_txt(tmp_path, options):
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE, "b/run.gout": SAMPLE3})
    database = tmp_path / "r.sqlite"
    done = command(runs, "--db", database, *options)
    assert done.returncode == 0, done.stderr
    wsphere_input, program = binary("WSPHERE_INPUT_BINARY", "wsphere-input"), binary("WSPHERE_BINARY", "wsphere")
    for name in ("a", "b"):
        folder = tmp_path / f"program-{name}"
        folder.mkdir()
        subprocess.run([wsphere_input, runs / name / "run.gout", "-o", folder / "input.txt", *options],
                       check=True, capture_output=True)
        subprocess.run([program], cwd=folder, check=True)
        expected = wsphere.analyse_input(folder / "input.txt")
        report = wsphere.read_report(folder / "output.txt")
        (run,) = rows(database, "SELECT id FROM runs WHERE path = ?", str(runs / name / "run.gout"))
        atoms = rows(database, "SELECT number, name, w, compliance, members, bonded FROM atoms WHERE run = ? "
                               "ORDER BY number", run[0])
        assert [a[0] for a in atoms] == list(range(1, len(expected) + 1))
        assert [a[1] for a in atoms] == expected.names
        w = np.array([np.nan if a[2] is None else a[2] for a in atoms], dtype=np.float32)
        assert np.array_equal(w, expected.w, equal_nan=True)
        assert np.array_equal(np.array([a[3] for a in atoms], dtype=np.float32), expected.compliance)
        assert [a[4] for a in atoms] == expected.members.tolist()
        for row, value in zip(report.w_rows["W table"], w):
            assert same_as_printed(float(value), row["w"], 5)
        kinds = rows(database, "SELECT symbol, count, mean FROM kinds WHERE run = ? ORDER BY position", run[0])
        assert [(k, n) for k, n, _ in kinds] == [(s.symbol, s.count) for s in expected.statistics]
        assert [np.float32(m) for _, _, m in kinds] == [np.float32(s.mean) for s in expected.statistics]
    energies = {os.path.basename(os.path.dirname(path)): row[3] for path, row in runs_by_path(database).items()}
    assert energies == {"a": -7739.82950445, "b": -7727.93602243}


@pytest.mark.parametrize("path", [SAMPLE, SAMPLE3])
@pytest.mark.parametrize("radius, kinds", [(5.0, None), (3.3, None), (7.0, [("Si", None), ("Ge", 1.8), ("O", None)]),
                                           (5.0, [("Ge", None), ("Si", None), ("F", None), ("O", None)]),
                                           (5.0, [("Si", None), ("O", None)])])
def test_the_one_call_analysis_of_a_gout_equals_the_package_path(path, radius, kinds):
    raw = _core.analyse_gout(path, 1, radius, None, kinds)
    result = wsphere.analyse(*wsphere.read_pair(path), radius=radius, kinds=kinds)
    assert raw is not None
    for name in ("w", "compliance", "members", "bonded", "kind"):
        assert np.array_equal(raw[name], getattr(result, name), equal_nan=True), name
    assert raw["names"] == result.names and raw["warnings"] == result.warnings
    assert raw["kinds"] == list(zip(result.kinds, result.references))
    assert (raw["radius"], raw["bond_limit"]) == (result.radius, result.bond_limit)
    statistics = [(s.count, s.mean, s.sigma) for s in result.statistics]
    assert np.array_equal(np.array(raw["statistics"], dtype=float), np.array(statistics, dtype=float), equal_nan=True)


def test_input_txt_runs_and_their_reports_never_share_a_name(tmp_path):
    quartz, kyanite = example("quartz", "input.txt"), example("kyanite", "input.txt")
    runs = tree(tmp_path / "runs", {"x/run/input.txt": quartz, "y/run/input.txt": kyanite})
    reports = tmp_path / "reports"
    done = command(runs, "--db", tmp_path / "r.sqlite", "--reports", reports)
    assert done.returncode == 0, done.stderr
    written = rows(tmp_path / "r.sqlite", "SELECT path, report, settings, radius FROM runs ORDER BY path")
    assert len({report for _, report, _, _ in written}) == 2
    for (path, report, settings, radius), source in zip(written, (quartz, kyanite)):
        assert settings == "input.txt" and os.path.dirname(report) == str(reports)
        with open(report, "rb") as produced, open(os.path.join(os.path.dirname(source), "output.txt"), "rb") as shipped:
            assert produced.read() == shipped.read()
        assert np.float32(radius) == wsphere.analyse_input(source).radius


# ---------------------------------------------------------------------------
# Failures are rows with their reason; the batch goes on.

def truncated_before_final(data):
    return data[:data.index(b"Final fractional coordinates")]


@pytest.mark.parametrize("name, content, reason", [
    ("garbage.gout", b"this is no GULP output\n", r"\S"),
    ("empty.gout", b"", r"\S"),
    ("no-final/run.gout", truncated_before_final(sample_text()), r"\S"),
    ("bad-input/input.txt", b"4.9 4.9 5.4 90 90 120 cell\n", r"runerr|end-of-file|severe"),
    ("dangling.gout", None, r"No such file"),
], ids=["garbage", "empty", "no-final-structure", "bad-input-txt", "dangling-link"])
def test_a_failed_run_is_a_row_with_its_reason_and_the_batch_goes_on(tmp_path, name, content, reason):
    runs = tree(tmp_path / "runs", {"good/run.gout": SAMPLE})
    target = runs / name
    target.parent.mkdir(parents=True, exist_ok=True)
    if content is None:
        os.symlink(tmp_path / "nowhere.gout", target)
    else:
        target.write_bytes(content)
    database = tmp_path / "r.sqlite"
    done = command(runs, "--db", database)
    assert done.returncode == 0, done.stderr
    found = runs_by_path(database)
    assert found[str(runs / "good" / "run.gout")][0] == "ok"
    status, message, atoms, _ = found[str(target)]
    assert status == "failed" and re.search(reason, message), message
    assert rows(database, "SELECT count(*) FROM atoms a JOIN runs r ON r.id = a.run WHERE r.status = 'failed'") == [(0,)]
    assert "1 failed" in done.stderr
    again = command(runs, "--db", database)
    assert "0 runs written" in again.stderr and "2 skipped" in again.stderr


def test_warnings_of_a_run_that_went_well_are_its_message(tmp_path):
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE})
    done = command(runs, "--db", tmp_path / "r.sqlite", "--kind", "Si", "--kind", "O")
    assert done.returncode == 0, done.stderr
    ((status, message, atoms, _),) = runs_by_path(tmp_path / "r.sqlite").values()
    assert (status, atoms) == ("ok", 186)
    assert "the Ge atoms (Ge1 ...) belong to no kind" in message and "the F atoms" in message


def test_a_third_kind_without_bonds_is_a_warning_not_a_failure(tmp_path):
    # F (kind 3) has no neighbour within 1.75 A, Si and O have theirs.
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE})
    done = command(runs, "--db", tmp_path / "r.sqlite", "--bond-limit", "1.75",
                   "--kind", "Si", "--kind", "O", "--kind", "F", "--kind", "Ge")
    assert done.returncode == 0, done.stderr
    ((status, message, _, _),) = runs_by_path(tmp_path / "r.sqlite").values()
    assert status == "ok", message
    assert "kind F has no neighbour within the bond limit" in message


def test_each_thread_keeps_its_own_warnings_every_time_they_come():
    import threading
    import warnings

    def warn(text):                       # one place of warning for all
        warnings.warn(text, UserWarning)

    barrier = threading.Barrier(2)
    found = {}

    def run(name):
        with batch.run_warnings() as caught:
            for _ in range(3):
                barrier.wait()
                warn(f"placeholder reference for kind {name}")
        found[name] = caught

    threads = [threading.Thread(target=run, args=(name,)) for name in ("F", "Cl")]
    with warnings.catch_warnings():
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    assert found == {name: [f"placeholder reference for kind {name}"] * 3 for name in ("F", "Cl")}


# ---------------------------------------------------------------------------
# Reruns and interrupts: nothing lost, nothing repeated.

def test_a_rerun_does_only_what_is_new(tmp_path):
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE, "b/run.gout": SAMPLE3})
    database = tmp_path / "r.sqlite"
    assert command(runs, "--db", database).returncode == 0
    tree(runs, {"copy/run.gout": SAMPLE})                       # a copy elsewhere is another run
    (runs / "b" / "run.gout").write_bytes(sample_text())        # new content
    again = command(runs, "--db", database)
    assert "2 runs written" in again.stderr and "1 skipped" in again.stderr, again.stderr
    other = command(runs, "--db", database, "--radius", "6")    # other settings: all again
    assert "3 runs written" in other.stderr, other.stderr
    assert command(runs, "--db", database, "--radius", "6.0").stderr.count("0 runs written") == 1
    assert rows(database, "SELECT count(*), count(DISTINCT path || hash || settings) FROM runs") == [(7, 7)]
    assert rows(database, "SELECT count(*) FROM atoms") == [(7 * 186,)]


def test_an_interrupt_keeps_finished_chunks_and_a_rerun_completes_the_rest(tmp_path):
    total = 600
    runs, database = many_runs(tmp_path / "runs", total), tmp_path / "r.sqlite"
    arguments = [sys.executable, "-m", "wsphere.batch", runs, "--db", database, "--jobs", "1", "--chunk-size", "5"]
    process = subprocess.Popen(arguments, stderr=subprocess.PIPE, text=True, env=ENVIRONMENT,
                               preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    deadline = time.monotonic() + 60
    written = 0
    while written == 0 and time.monotonic() < deadline and process.poll() is None:
        time.sleep(0.02)
        if database.exists():
            try:
                written = rows(database, "SELECT count(*) FROM runs")[0][0]
            except sqlite3.OperationalError:
                pass                                     # the schema is still being made
    process.send_signal(signal.SIGINT)
    _, stderr = process.communicate(timeout=30)
    assert process.returncode == 130, stderr
    kept = rows(database, "SELECT count(*) FROM runs")[0][0]
    assert 0 < kept < total and kept % 5 == 0, (kept, stderr)
    assert rows(database, "SELECT count(*) FROM atoms")[0][0] == kept * 186
    assert "run the same command again" in stderr

    rest = subprocess.run(arguments, capture_output=True, text=True, timeout=120, env=ENVIRONMENT)
    assert rest.returncode == 0, rest.stderr
    assert f"{total - kept} runs written" in rest.stderr and f"{kept} skipped" in rest.stderr
    assert rows(database, "SELECT count(*), count(DISTINCT path), min(status), max(status) FROM runs") == \
        [(total, total, "ok", "ok")]
    assert rows(database, "SELECT count(*) FROM atoms")[0][0] == total * 186
    assert rows(database, "SELECT name FROM sqlite_master WHERE name = 'atoms_w'") == [("atoms_w",)]


def many_runs(root, count):
    """`count` runs in folders of their own, each a link to the sample."""
    for i in range(count):
        folder = root / f"r{i:04d}"
        folder.mkdir(parents=True)
        os.symlink(SAMPLE, folder / "run.gout")
    return root


def interruptible_batch(runs, database):
    return subprocess.Popen([sys.executable, "-m", "wsphere.batch", runs, "--db", database, "--jobs", "1",
                             "--chunk-size", "5"], stderr=subprocess.PIPE, text=True, env=ENVIRONMENT,
                            preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))


@pytest.mark.parametrize("when", ["opening", "writing"])
def test_an_interrupt_does_not_wait_for_a_database_locked_by_another_process(tmp_path, when):
    runs, database = many_runs(tmp_path / "runs", 2000), tmp_path / "r.sqlite"
    assert command(runs / "r0000", "--db", database).returncode == 0
    other = sqlite3.connect(database, timeout=0, isolation_level=None)

    def lock():
        # Between two chunks of the batch: tried often, as the batch takes
        # the database again within milliseconds.
        deadline = time.monotonic() + 30
        while True:
            try:
                other.execute("BEGIN EXCLUSIVE")
                return
            except sqlite3.OperationalError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.0005)

    if when == "opening":
        lock()
        process = interruptible_batch(runs, database)
        time.sleep(1.5)
    else:
        process = interruptible_batch(runs, database)
        while rows(database, "SELECT count(*) FROM runs")[0][0] < 6 and process.poll() is None:
            time.sleep(0.02)
        lock()                                # the next commit waits
        time.sleep(0.5)
        assert process.poll() is None, "the batch ended before the database was locked"
    process.send_signal(signal.SIGINT)
    started = time.monotonic()
    _, stderr = process.communicate(timeout=60)
    waited = time.monotonic() - started
    other.execute("ROLLBACK")
    other.close()
    assert process.returncode == 130, stderr
    assert waited < batch.GRACE_SECONDS + 3, waited
    kept = rows(database, "SELECT count(*), count(DISTINCT path) FROM runs")[0]
    assert kept[0] == kept[1] and (kept[0] - 1) % 5 == 0
    assert rows(database, "PRAGMA integrity_check") == [("ok",)]


# ---------------------------------------------------------------------------
# The distributed engine gives the local engine's rows.

def test_a_local_cluster_writes_the_rows_the_threads_write(tmp_path):
    from distributed import LocalCluster
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE, "b/run.gout": SAMPLE3, "q/input.txt":
                                    example("quartz", "input.txt"), "bad/run.gout": b"no output\n"})
    for i in range(8):
        tree(runs, {f"c{i}/run.gout": SAMPLE})
    local, distributed = tmp_path / "local.sqlite", tmp_path / "cluster.sqlite"
    assert batch.main([str(runs), "--db", str(local), "--jobs", "2", "--chunk-size", "3", "--quiet"]) == 0
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster:
        # The command as a user starts it, whose module is __main__.
        done = command(runs, "--db", distributed, "--scheduler", cluster.scheduler_address, "--chunk-size", "3")
        assert done.returncode == 0, done.stderr
    for table, order in (("runs", "id"), ("atoms", "run, number"), ("kinds", "run, position")):
        ours, theirs = (rows(database, f"SELECT * FROM {table} ORDER BY {order}") for database in (local, distributed))
        if table == "runs":      # the time columns differ
            ours, theirs = ([row[:-2] for row in found] for found in (ours, theirs))
        assert ours == theirs, table
    assert len(rows(local, "SELECT * FROM runs")) == 12


# ---------------------------------------------------------------------------
# The README's three questions.

def readme_queries():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as stream:
        text = stream.read()
    section = text[text.index("## Many runs at once"):text.index("### The picture of a database")]
    return re.findall(r"```sql\n(.*?)```", section, re.S)


def test_the_readme_questions_give_the_right_answers(tmp_path):
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE, "b/run.gout": SAMPLE3, "c/run.gout": b"no output\n"})
    database = tmp_path / "r.sqlite"
    assert command(runs, "--db", database).returncode == 0
    largest, means, failed = readme_queries()
    results = {str(runs / name / "run.gout"): wsphere.analyse(*wsphere.read_pair(source))
               for name, source in (("a", SAMPLE), ("b", SAMPLE3))}

    everything = sorted(((float(w), path, i + 1) for path, r in results.items() for i, w in enumerate(r.w)),
                        reverse=True)
    top = rows(database, largest)
    assert any("atoms_w" in str(step) for step in rows(database, "EXPLAIN QUERY PLAN " + largest))
    assert [w for *_, w in top] == [w for w, _, _ in everything[:10]]
    for path, number, name, kind, w in top:
        assert results[path].w[number - 1] == np.float32(w) and results[path].names[number - 1] == name
        assert results[path].kind_symbols()[number - 1] == kind

    expected = sorted((path, s.symbol, s.count, s.mean, None if np.isnan(s.sigma) else s.sigma)
                      for path, r in results.items() for s in r.statistics)
    assert sorted(rows(database, means)) == expected

    with pytest.raises(wsphere.InputError) as raised:
        wsphere.read_pair(runs / "c" / "run.gout")
    assert rows(database, failed) == [(str(runs / "c" / "run.gout"), str(raised.value))]


# ---------------------------------------------------------------------------
# The command line, the progress and the picture.

@pytest.mark.parametrize("arguments, complaint", [
    (["RUNS"], "--db"),
    (["RUNS", "--db", "x.sqlite", "--kind", "Si", "--kind", "O=1.6"], "last kind"),
    (["RUNS", "--db", "x.sqlite", "--kind", "Si1"], "one or two letters"),
    (["RUNS", "--db", "x.sqlite", "--radius", "-1"], "positive"),
    (["RUNS", "--db", "x.sqlite", "--jobs", "0"], "--jobs"),
    (["RUNS", "--db", "x.sqlite", "--jobs", "2", "--scheduler", "tcp://127.0.0.1:1"], "not allowed"),
    (["RUNS/missing", "--db", "x.sqlite"], "no such file"),
    ([os.path.join(GULP, "stw-ge-c0002.gin"), "--db", "x.sqlite"], "neither"),
])
def test_a_wrong_command_line_is_status_2(tmp_path, arguments, complaint):
    tree(tmp_path / "RUNS", {"a/run.gout": SAMPLE})
    done = command(*arguments, cwd=tmp_path)
    assert done.returncode == 2 and complaint in done.stderr, done.stderr
    assert not (tmp_path / "x.sqlite").exists()


def test_the_bar_is_drawn_on_a_terminal_only(tmp_path):
    import pty
    runs = tree(tmp_path / "runs", {f"r{i}/run.gout": SAMPLE for i in range(6)})
    piped = command(runs, "--db", tmp_path / "piped.sqlite", "--chunk-size", "1")
    assert "\r" not in piped.stderr and not re.search(r"\d left", piped.stderr)
    assert piped.stderr.splitlines() == [piped.stderr.splitlines()[0], "wsphere-batch: looked at 6 files, left out 0 "
                                         "as not a run"] and "6 runs written" in piped.stderr
    leader, follower = pty.openpty()
    done = subprocess.run([sys.executable, "-m", "wsphere.batch", runs, "--db", tmp_path / "tty.sqlite",
                           "--chunk-size", "1"], stderr=follower, timeout=120, env=ENVIRONMENT)
    os.close(follower)
    shown = b""
    while True:
        try:
            part = os.read(leader, 4096)
        except OSError:
            break
        if not part:
            break
        shown += part
    os.close(leader)
    assert done.returncode == 0
    assert re.search(rb"\r\[[#.]+\] \d/6 runs  \d failed  \d+ runs/s  \S+ left", shown), shown
    assert b"6 runs written" in shown


def test_plot_draws_a_png_of_a_database(tmp_path):
    runs = tree(tmp_path / "runs", {"a/run.gout": SAMPLE, "b/run.gout": SAMPLE3})
    database = tmp_path / "r.sqlite"
    assert command(runs, "--db", database).returncode == 0
    done = command("plot", database, "--out", tmp_path / "w.png")
    assert done.returncode == 0, done.stderr
    picture = (tmp_path / "w.png").read_bytes()
    assert picture[:8] == b"\x89PNG\r\n\x1a\n" and len(picture) > 10000
    import matplotlib.image
    pixels = matplotlib.image.imread(tmp_path / "w.png")
    assert pixels.shape[:2] == (500, 1200) and pixels.std() > 0.05     # drawn, not blank
    empty = command("plot", tmp_path / "none.sqlite", "--out", tmp_path / "n.png")
    assert empty.returncode == 1 and not (tmp_path / "n.png").exists()


@pytest.mark.parametrize("text, energy", [
    (b"  Final energy =   -7739.82950445 eV\n", -7739.82950445),
    (b"  Final energy =  -1.0 eV\n  Final energy =   -2.5 eV\n", -2.5),
    (b"  Final energy = ************ eV\n", None),
    (b"  Total lattice energy = -5.0 eV\n", None),
])
def test_the_final_energy_is_gulps_last(text, energy):
    assert batch.final_energy(text) == energy
