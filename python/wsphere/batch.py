"""wsphere-batch: the analysis of many minimisation runs into one SQLite database.

    wsphere-batch RUNS... --db results.sqlite [--radius R] [--bond-limit L] [--kind SYMBOL[=REF]]...
                  [--reports DIR] [--jobs N | --scheduler tcp://HOST:PORT] [--chunk-size N]
                  [--quiet] [--verbose]
    wsphere-batch plot results.sqlite --out FILE.png [--top N]

RUNS are GULP outputs, input.txt files and folders. A folder is searched
through: every regular file in it is looked at (its first bytes), and GULP's
printed outputs are taken whatever their names (.gout, .got, .out, .log ...),
one run per configuration they hold, as are files named input.txt (analysed
as wsphere analyses them, with their own settings). The batch ends with a
line telling how many files it looked at and left out as not a run;
--verbose lists them.

The work goes to Dask in chunks of runs: to the threads of this machine
(Dask's threaded scheduler; the readers and the analysis run without the GIL)
or, with --scheduler, to a running dask.distributed cluster. Only this process
writes the database, one transaction per finished chunk, so an interrupted
batch keeps every chunk it finished and the same command run again does only
what is missing: a run already in the database with the same path, content
(SHA-256 of the file) and settings is skipped.

Exit status: 0 when the batch ran to its end (runs that failed are rows of
the database with their reason, not errors of the batch), 1 when the batch
could not be done (the database cannot be written, the cluster cannot be
reached, chunks were lost), 2 for a wrong command line, 130 after an
interrupt.
"""

import argparse
import contextlib
import hashlib
import json
import math
import os
import queue
import re
import sqlite3
import sys
import threading
import time
import warnings
from datetime import datetime, timezone

# Only the standard library at the top: `--help` and `plot` start quickly,
# and a worker of a cluster imports what its chunks need.

PROGRAM = "wsphere-batch"
SCHEMA_VERSION = 2
INPUT_SETTINGS = "input.txt"     # the settings key of an input.txt run: its own
GRACE_SECONDS = 5.0              # how long an interrupt waits for the chunk being written
DEFAULT_RADIUS = 5.0
DEFAULT_BOND_LIMIT = None        # chosen from each run's initial structure

RUNS_TABLE = """\
    id            INTEGER PRIMARY KEY,
    path          TEXT NOT NULL,   -- absolute path of the GULP output or input.txt
    source        TEXT NOT NULL,   -- 'gout' (a GULP output, whatever its name) or 'input'
    hash          TEXT NOT NULL,   -- SHA-256 of the file, '' when it could not be read
    settings      TEXT NOT NULL,   -- radius, bond limit (null: chosen) and kinds as JSON; 'input.txt' for its own
    configuration INTEGER NOT NULL DEFAULT 1,  -- of a GULP output holding several, from 1
    status        TEXT NOT NULL CHECK (status IN ('ok', 'failed')),
    message       TEXT,            -- the reason of a failure; warnings of a run that went well
    atoms         INTEGER,         -- atoms in the cell
    energy        REAL,            -- GULP's final energy, eV
    radius        REAL,            -- as the analysis used them
    bond_limit    REAL,            -- as used, chosen from the structure unless given
    converged     INTEGER,         -- 1, or 0 when GULP's optimisation ended without a minimum; NULL for input.txt
    report        TEXT,            -- the report written with --reports
    seconds       REAL,            -- time of the analysis
    finished      TEXT,            -- UTC time of the commit
    UNIQUE (path, hash, settings, configuration)
);
"""
SCHEMA = """
CREATE TABLE IF NOT EXISTS meta (
    key   TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS runs (
""" + RUNS_TABLE + """CREATE INDEX IF NOT EXISTS runs_status ON runs (status);
CREATE TABLE IF NOT EXISTS atoms (
    run        INTEGER NOT NULL REFERENCES runs (id),
    number     INTEGER NOT NULL,   -- from 1, in the order of the structure
    name       TEXT NOT NULL,
    kind       TEXT,               -- the symbol of the atom's (first) kind, NULL for none
    w          REAL,               -- NULL where W is NaN (no neighbour in the sphere)
    compliance REAL,               -- percent; NULL where NaN
    members    INTEGER NOT NULL,
    bonded     INTEGER NOT NULL,
    PRIMARY KEY (run, number)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS kinds (
    run        INTEGER NOT NULL REFERENCES runs (id),
    position   INTEGER NOT NULL,   -- from 1, in kind order
    symbol     TEXT NOT NULL,
    reference  REAL,               -- NULL for the last kind
    count      INTEGER NOT NULL,
    mean       REAL,               -- mean W; NULL where NaN
    sigma      REAL,               -- NULL where NaN
    PRIMARY KEY (run, position)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS kinds_symbol ON kinds (symbol);
"""
# A database of schema 1 gets the columns configuration and converged.
MIGRATE_1_TO_2 = """
PRAGMA foreign_keys = OFF;
BEGIN;
CREATE TABLE runs_2 (
""" + RUNS_TABLE + """INSERT INTO runs_2 (id, path, source, hash, settings, configuration, status, message, atoms, energy, radius,
                    bond_limit, converged, report, seconds, finished)
    SELECT id, path, source, hash, settings, 1, status, message, atoms, energy, radius, bond_limit, NULL,
           report, seconds, finished FROM runs;
DROP TABLE runs;
ALTER TABLE runs_2 RENAME TO runs;
CREATE INDEX IF NOT EXISTS runs_status ON runs (status);
UPDATE meta SET value = '2' WHERE key = 'schema';
COMMIT;
PRAGMA foreign_keys = ON;
"""
RUN_COLUMNS = ("id, path, source, hash, settings, configuration, status, message, atoms, energy, radius, "
               "bond_limit, converged, report, seconds, finished")

# The index of W takes its rows in random places, which doubles the cost of
# writing an atom. A new database gets it in one pass at the end of its first
# batch; one that has atoms keeps it up to date row by row.
W_INDEX = "CREATE INDEX IF NOT EXISTS atoms_w ON atoms (w)"


class UsageError(Exception):
    """A wrong command line: status 2."""


class BatchError(Exception):
    """A batch that cannot be done (database, cluster): status 1."""


# ---------------------------------------------------------------------------
# What travels between the client and the workers.

class Settings:
    """The analysis settings of the .gout runs (input.txt runs carry their own)."""

    __slots__ = ("radius", "bond_limit", "kinds", "reports")

    def __init__(self, radius=DEFAULT_RADIUS, bond_limit=DEFAULT_BOND_LIMIT, kinds=(), reports=False):
        self.radius = float(radius)
        self.bond_limit = None if bond_limit is None else float(bond_limit)
        self.kinds = tuple((str(s), None if r is None else float(r)) for s, r in kinds)
        self.reports = bool(reports)

    def __getstate__(self):
        return (self.radius, self.bond_limit, self.kinds, self.reports)

    def __setstate__(self, state):
        self.radius, self.bond_limit, self.kinds, self.reports = state

    def key(self):
        """The settings column of a .gout run: what its results depend on."""
        return json.dumps({"radius": self.radius, "bond_limit": self.bond_limit,
                           "kinds": [list(kind) for kind in self.kinds]}, separators=(",", ":"))


class RunTask:
    """One run for a worker: a configuration of a GULP output read by path, or
    the bytes of an input.txt."""

    __slots__ = ("id", "source", "path", "data", "configuration")

    def __init__(self, id, source, path, data=None, configuration=1):
        self.id, self.source, self.path, self.data, self.configuration = id, source, path, data, configuration

    def __getstate__(self):
        return (self.id, self.source, self.path, self.data, self.configuration)

    def __setstate__(self, state):
        self.id, self.source, self.path, self.data, self.configuration = state


class Outcome:
    """What a worker found for one run. Arrays stay numpy until the client
    writes them."""

    __slots__ = ("id", "ok", "message", "seconds", "atoms", "names", "kind", "kinds", "w", "compliance",
                 "members", "bonded", "statistics", "radius", "bond_limit", "converged", "report")

    def __init__(self, id, ok, message, seconds=0.0, **values):
        self.id, self.ok, self.message, self.seconds = id, ok, message, seconds
        for name in self.__slots__[4:]:
            setattr(self, name, values.get(name))

    def __getstate__(self):
        return tuple(getattr(self, name) for name in self.__slots__)

    def __setstate__(self, state):
        for name, value in zip(self.__slots__, state):
            setattr(self, name, value)


class Chunk:
    """Runs that go to a worker as one task."""

    __slots__ = ("number", "tasks")

    def __init__(self, number, tasks):
        self.number, self.tasks = number, tasks

    def __getstate__(self):
        return (self.number, self.tasks)

    def __setstate__(self, state):
        self.number, self.tasks = state


class ChunkResult:
    """The outcomes of a chunk; `complete` is false for a chunk cut short by
    an interrupt, which is not written."""

    __slots__ = ("number", "outcomes", "complete")

    def __init__(self, number, outcomes, complete=True):
        self.number, self.outcomes, self.complete = number, outcomes, complete

    def __getstate__(self):
        return (self.number, self.outcomes, self.complete)

    def __setstate__(self, state):
        self.number, self.outcomes, self.complete = state


# ---------------------------------------------------------------------------
# The work of a worker.

_sink = threading.local()
_hook_lock = threading.Lock()
_always = ("always", None, UserWarning, None, 0)


def _capture_warnings():
    """Route warnings to the run that raised them: a worker thread collects
    into its own list while it analyses a run, so that the warnings of a run
    land in its message column; warnings outside a run are shown as usual.
    Every warning of every run counts, not only the first of its place. Put
    back should anything (a catch_warnings block elsewhere) have undone it."""
    with _hook_lock:
        if not getattr(warnings.showwarning, "_wsphere_batch", False):
            shown = warnings.showwarning

            def show(message, category, filename, lineno, file=None, line=None):
                collected = getattr(_sink, "messages", None)
                if collected is None:
                    return shown(message, category, filename, lineno, file, line)
                collected.append(str(message))

            show._wsphere_batch = True
            warnings.showwarning = show
        if not warnings.filters or warnings.filters[0] != _always:
            warnings.filterwarnings("always", category=UserWarning)


@contextlib.contextmanager
def run_warnings():
    """The warnings this thread raises inside the block, as a list of texts."""
    _capture_warnings()
    _sink.messages = caught = []
    try:
        yield caught
    finally:
        _sink.messages = None


def _result_values(result):
    kinds = result.kinds
    last = len(kinds) - 1
    statistics = [(k + 1, s.symbol, None if k == last else float(result.references[k]), s.count, s.mean, s.sigma)
                  for k, s in enumerate(result.statistics)]
    return dict(atoms=len(result), names=list(result.names), kind=result.kind, kinds=list(kinds), w=result.w,
                compliance=result.compliance, members=result.members, bonded=result.bonded,
                statistics=statistics, radius=result.radius, bond_limit=result.bond_limit,
                converged=result.converged)


def _gout_values(raw):
    """Outcome values from _core.analyse_gout."""
    kinds = [symbol for symbol, _ in raw["kinds"]]
    last = len(kinds) - 1
    statistics = [(k + 1, kinds[k], None if k == last else float(reference), count, mean, sigma)
                  for k, ((_, reference), (count, mean, sigma)) in enumerate(zip(raw["kinds"], raw["statistics"]))]
    return dict(atoms=len(raw["names"]), names=raw["names"], kind=raw["kind"], kinds=kinds, w=raw["w"],
                compliance=raw["compliance"], members=raw["members"], bonded=raw["bonded"],
                statistics=statistics, radius=raw["radius"], bond_limit=raw["bond_limit"],
                converged=raw["converged"])


def _convergence_note(path, notice):
    """The warning of a run whose optimisation did not converge, as
    wsphere.read_pair words it."""
    return (f"{path}: the optimisation did not converge (GULP: \"{notice}\"); the minimised state is where it "
            "stopped")


def analyse_run(task, settings):
    """One run, never raising for a fault of the run: a failure is an Outcome
    with its reason."""
    started = time.perf_counter()
    with run_warnings() as caught:
        try:
            return _analysed(task, settings, caught, started)
        except Exception as error:  # noqa: BLE001 - every fault of a run is that run's reason
            reason = str(error) if isinstance(error, ValueError) else f"{type(error).__name__}: {error}"
            return Outcome(task.id, False, reason or type(error).__name__, time.perf_counter() - started)


def _analysed(task, settings, caught, started):
    """The values of a run; its faults raise."""
    from wsphere import _core
    from wsphere.analysis import analyse, analyse_input, run
    from wsphere.structures import read_pair
    if task.source == "gout":
        kinds = list(settings.kinds) or None
        # Read and analysed in one call without the GIL; what is not
        # regular takes the package's own path, which raises or warns.
        raw = _core.analyse_gout(task.path, task.configuration, settings.radius, settings.bond_limit, kinds)
        if raw is not None:
            notes = list(raw["warnings"])
            if not raw["converged"]:
                notes.append(_convergence_note(task.path, raw["notice"]))
            return Outcome(task.id, True, "\n".join(notes) or None, time.perf_counter() - started,
                           **_gout_values(raw))
        first, last = read_pair(task.path, configuration=task.configuration)
        result = analyse(first, last, radius=settings.radius, bond_limit=settings.bond_limit, kinds=kinds)
        report = None
    else:
        program = run(task.data, directory=os.path.dirname(task.path))
        if program.status != 0:
            reason = "\n".join(program.messages) or f"wsphere ended with status {program.status}"
            return Outcome(task.id, False, reason, time.perf_counter() - started)
        caught.extend(program.messages)
        result = analyse_input(task.data)
        report = program.report if settings.reports else None
    notes = list(result.warnings) + [m for m in caught if m not in result.warnings]
    values = _result_values(result)
    if task.source == "input":
        values["converged"] = None      # input.txt says nothing of the optimisation
    return Outcome(task.id, True, "\n".join(notes) or None, time.perf_counter() - started,
                   report=report, **values)


def analyse_chunk(chunk, settings, stop=None):
    """The runs of a chunk, one after the other; a set `stop` (threads of this
    process only) cuts the chunk short."""
    outcomes = []
    for task in chunk.tasks:
        if stop is not None and stop.is_set():
            return ChunkResult(chunk.number, outcomes, complete=False)
        outcomes.append(analyse_run(task, settings))
    return ChunkResult(chunk.number, outcomes)


# ---------------------------------------------------------------------------
# Finding the runs.

_SAFE = re.compile(r"[^A-Za-z0-9._-]+")
_ENERGY = re.compile(rb"Final energy\s*=\s*(\S+)\s*eV")


def kind_of_run(path):
    """'gout' for GULP's printed output (by its first bytes, whatever its
    name), 'input' for a file named input.txt, else None. A file named .gout
    is a run even when it is not readable or not an output: it fails with
    the reason."""
    if os.path.basename(path) == "input.txt":
        return "input"
    if path.lower().endswith(".gout"):
        return "gout"
    from wsphere.structures import is_gulp_output
    return "gout" if is_gulp_output(path) else None


def discover(paths, problems, left_out=None):
    """[(source, absolute path)] of the runs under `paths`, each once, folders
    searched in name order, every regular file in them looked at. Files of a
    folder that are no run go to `left_out` as (path, reason); names given
    that are neither runs nor folders go to `problems`. Returns the runs and
    the number of files looked at."""
    found, seen = [], set()
    left_out = [] if left_out is None else left_out
    looked_at = 0

    def add(source, path):
        path = os.path.abspath(path)
        if path not in seen:
            seen.add(path)
            found.append((source, path))

    for given in paths:
        if os.path.isdir(given):
            def unreadable(error):
                print(f"{PROGRAM}: warning: cannot search {error.filename}: {error.strerror}", file=sys.stderr)
            for folder, subfolders, files in os.walk(given, onerror=unreadable):
                subfolders.sort()
                for name in sorted(files):
                    path = os.path.join(folder, name)
                    looked_at += 1
                    source = kind_of_run(path)
                    if source != "gout" and not os.path.isfile(path):
                        left_out.append((path, "not a regular file"))
                        continue
                    if source is None:
                        left_out.append((path, "neither a GULP output nor an input.txt"))
                    else:
                        add(source, path)
        elif os.path.lexists(given):
            looked_at += 1
            source = kind_of_run(given)
            if source is None:
                problems.append(f"{given}: neither a GULP output (by its content), an input.txt nor a folder")
            else:
                add(source, given)
        else:
            problems.append(f"{given}: no such file or folder")
    return found, looked_at


_OUTPUT_HEADER = re.compile(rb"Output for configuration\s+(\d+)")


def final_energy(data, configuration=1):
    """The last "Final energy = ... eV" of a GULP output's configuration (of
    the whole file when it has no configuration headers), or None."""
    headers = [(int(m.group(1)), m.start()) for m in _OUTPUT_HEADER.finditer(data)]
    start, end = 0, len(data)
    for k, (number, at) in enumerate(headers):
        if number == configuration:
            start, end = at, headers[k + 1][1] if k + 1 < len(headers) else len(data)
    if headers and start == 0:
        return None
    at = data.rfind(b"Final energy", start, end)
    if at < 0:
        return None
    match = _ENERGY.match(data, at)
    if not match:
        return None
    try:
        value = float(match.group(1))
    except ValueError:      # GULP prints asterisks for a value too wide
        return None
    return value if math.isfinite(value) else None


def report_name(path):
    """The file name of a run's report: the folder's name and a digest of the
    folder's absolute path, so no two runs share a name."""
    folder = os.path.dirname(path)
    label = _SAFE.sub("_", os.path.basename(folder)).strip("._") or "run"
    digest = hashlib.sha256(folder.encode("utf-8", "surrogateescape")).hexdigest()[:16]
    return f"{label}-{digest}.output.txt"


class RunMeta:
    """What the client keeps of a dispatched run until its chunk is written."""

    __slots__ = ("id", "source", "path", "hash", "settings", "energy", "configuration")

    def __init__(self, id, source, path, hash, settings, energy, configuration=1):
        self.id, self.source, self.path, self.hash, self.settings, self.energy = id, source, path, hash, settings, energy
        self.configuration = configuration


class Plan:
    """Turns the found runs into chunks: reads and hashes each file, skips what
    the database already holds, numbers the rest. Runs on its own thread,
    ahead of the workers."""

    def __init__(self, found, settings, known, first_id, chunk_size):
        self.found, self.settings, self.known = found, settings, known
        self.next_id, self.chunk_size = first_id, chunk_size
        self.meta = {}
        self.skipped = 0
        self.runs = 0              # runs of the files planned so far (a file may hold several)
        self.files = 0             # files planned so far
        self.unreadable = []       # Outcomes of files that could not be read
        self.lock = threading.Lock()

    def chunks(self, stop):
        tasks, number = [], 0
        gout_key = self.settings.key()
        for source, path in self.found:
            if stop.is_set():
                return
            key = gout_key if source == "gout" else INPUT_SETTINGS
            self.files += 1
            try:
                with open(path, "rb") as stream:
                    data = stream.read()
            except OSError as error:
                self.runs += 1
                if (path, "", key, 1) in self.known:
                    self.skipped += 1
                    continue
                meta = self._meta(source, path, "", key, None)
                reason = f"{path}: {error.strerror or error}"
                with self.lock:
                    self.unreadable.append(Outcome(meta.id, False, reason))
                continue
            digest = hashlib.sha256(data).hexdigest()
            configurations = self._configurations(data) if source == "gout" else 1
            self.runs += configurations
            for configuration in range(1, configurations + 1):
                if (path, digest, key, configuration) in self.known:
                    self.skipped += 1
                    continue
                energy = final_energy(data, configuration) if source == "gout" else None
                meta = self._meta(source, path, digest, key, energy, configuration)
                tasks.append(RunTask(meta.id, source, path, data if source == "input" else None, configuration))
                if len(tasks) >= self.chunk_size:
                    yield Chunk(number, tasks)
                    tasks, number = [], number + 1
        if tasks:
            yield Chunk(number, tasks)

    @staticmethod
    def _configurations(data):
        from wsphere import _core
        return _core.count_configurations(data)

    def _meta(self, source, path, digest, key, energy, configuration=1):
        meta = RunMeta(self.next_id, source, path, digest, key, energy, configuration)
        self.next_id += 1
        with self.lock:
            self.meta[meta.id] = meta
        return meta

    def take_unreadable(self):
        with self.lock:
            outcomes, self.unreadable = self.unreadable, []
        return outcomes


def started(target, name):
    """`target` on a daemon thread of its own; the event tells when it has
    returned. (Waiting on an event, unlike Thread.join, keeps its state when
    an interrupt breaks into the wait.)"""
    done = threading.Event()

    def body():
        try:
            target()
        finally:
            done.set()

    threading.Thread(target=body, name=name, daemon=True).start()
    return done


def put_unless_stopped(items, item, stop):
    """Puts `item` into the bounded queue `items`, waiting for room until
    `stop` is set; whether it went in."""
    while not stop.is_set():
        try:
            items.put(item, timeout=0.1)
            return True
        except queue.Full:
            continue
    return False


def prefetch(iterator, depth, stop, threads):
    """The items of `iterator`, produced on a thread of their own up to
    `depth` ahead; the thread's end event is added to `threads`."""
    items = queue.Queue(maxsize=depth)
    done = object()
    failure = []

    def offer(item):
        return put_unless_stopped(items, item, stop)

    def produce():
        try:
            for item in iterator:
                if not offer(item):
                    return
        except BaseException as error:  # handed to the consumer
            failure.append(error)
        offer(done)

    threads.append(started(produce, "wsphere-batch-plan"))
    while True:
        try:
            item = items.get(timeout=0.1)
        except queue.Empty:
            if stop.is_set():
                return
            continue
        if item is done:
            if failure:
                raise failure[0]
            return
        yield item


def wait_for(events, deadline=None):
    """Whether every event was set before the deadline (None: no limit)."""
    for event in events:
        while not event.is_set():
            if deadline is not None and time.monotonic() >= deadline:
                return False
            event.wait(0.1)
    return True


# ---------------------------------------------------------------------------
# The engines: where the chunks are analysed. `process` hands each finished
# chunk to `deliver` on the calling thread.

class ThreadEngine:
    """Dask's threaded scheduler on this machine's cores. A wave of chunks is
    one Dask graph; the next wave is planned while one runs."""

    def __init__(self, jobs):
        from concurrent.futures import ThreadPoolExecutor
        self.jobs = jobs
        self.pool = ThreadPoolExecutor(jobs, thread_name_prefix="wsphere-batch-worker")
        self.description = f"{jobs} thread{'s' if jobs != 1 else ''} of this machine"

    def workers(self):
        return self.jobs

    def process(self, chunks, settings, deliver, stop):
        def finished(key, result, dsk, state, worker):
            if isinstance(result, ChunkResult):
                deliver(result)

        wave_size = 16 * self.jobs
        wave = []
        for chunk in chunks:
            wave.append(chunk)
            if len(wave) >= wave_size:
                self._run(wave, settings, finished, stop)
                wave = []
            if stop.is_set():
                return
        if wave and not stop.is_set():
            self._run(wave, settings, finished, stop)

    def _run(self, wave, settings, finished, stop):
        import dask.threaded
        from dask.callbacks import Callback
        graph = {("wsphere-chunk", chunk.number): (analyse_chunk, chunk, settings, stop) for chunk in wave}
        with Callback(posttask=finished):
            dask.threaded.get(graph, list(graph), pool=self.pool)

    def close(self, wait=True):
        self.pool.shutdown(wait=wait, cancel_futures=True)


class ClusterEngine:
    """A running dask.distributed cluster. The workers import wsphere and read
    the runs by their paths, so the runs must lie where the workers see them
    under the same names (a shared file system)."""

    def __init__(self, address, timeout=20):
        from distributed import Client
        try:
            self.client = Client(address, timeout=timeout, set_as_default=False)
        except (OSError, TimeoutError) as error:
            raise BatchError(f"cannot reach the scheduler {address}: {error}") from error
        self.description = f"the cluster at {address}"
        self.lost = 0

    def workers(self):
        return max(1, sum(self.client.nthreads().values()))

    def process(self, chunks, settings, deliver, stop):
        chunks = iter(chunks)
        running = []
        exhausted = False
        window, counted = 0, 0.0
        try:
            while not stop.is_set():
                if time.monotonic() - counted > 1.0:
                    # Workers come and go (a job queue starts them late):
                    # two chunks for each thread, and two more, are out.
                    window, counted = 2 * self.workers() + 2, time.monotonic()
                while not exhausted and len(running) < window:
                    chunk = next(chunks, None)
                    if chunk is None:
                        exhausted = True
                        break
                    running.append((chunk, self.client.submit(analyse_chunk, chunk, settings, None, pure=False)))
                if not running:
                    return
                done = [(chunk, future) for chunk, future in running if future.done()]
                if not done:
                    stop.wait(0.02)
                    continue
                for item in done:
                    running.remove(item)
                    chunk, future = item
                    if future.status == "finished":
                        deliver(future.result())
                    else:
                        self.lost += len(chunk.tasks)
                        try:
                            reason = repr(future.exception(timeout=1))
                        except Exception as error:  # noqa: BLE001 - a cancelled or vanished future
                            reason = repr(error)
                        print(f"{PROGRAM}: a chunk of {len(chunk.tasks)} runs was lost: {reason}", file=sys.stderr)
                    future.release()
        finally:
            if running:
                self.client.cancel([future for _, future in running])

    def close(self, wait=True):
        self.client.close(timeout=5 if wait else 1)


# ---------------------------------------------------------------------------
# The database: written by this process only, one transaction per chunk.

def connect(path):
    connection = sqlite3.connect(path, timeout=30, check_same_thread=False)
    connection.execute("PRAGMA foreign_keys = ON")
    connection.execute("PRAGMA synchronous = NORMAL")
    # The W index takes rows in random places: a page cache of 64 MB keeps
    # the pages it touches in memory instead of writing and reading them back.
    connection.execute("PRAGMA cache_size = -65536")
    connection.executescript(SCHEMA)
    version = connection.execute("SELECT value FROM meta WHERE key = 'schema'").fetchone()
    if version is None:
        with connection:
            connection.execute("INSERT INTO meta VALUES ('schema', ?)", (str(SCHEMA_VERSION),))
    elif int(version[0]) == 1:
        connection.executescript(MIGRATE_1_TO_2)
    elif int(version[0]) != SCHEMA_VERSION:
        raise BatchError(f"{path}: a database of schema {version[0]}; this {PROGRAM} writes schema {SCHEMA_VERSION}")
    return connection


def open_database(path):
    """The connection, the (path, hash, settings) of the runs it holds, the
    next run id, and whether the index of W is to be made at the end."""
    try:
        connection = connect(path)
        known = set(connection.execute("SELECT path, hash, settings, configuration FROM runs"))
        index_at_end = connection.execute("SELECT 1 FROM atoms LIMIT 1").fetchone() is None
        if not index_at_end:
            with connection:
                connection.execute(W_INDEX)
        first_id = (connection.execute("SELECT max(id) FROM runs").fetchone()[0] or 0) + 1
    except sqlite3.Error as error:
        raise BatchError(f"{path}: {error}") from error
    return connection, known, first_id, index_at_end


def interruptible(function, *args):
    """function(*args) on a thread of its own while this thread waits, so that
    an interrupt is served at once even when the call waits for a database
    that another process holds locked."""
    outcome = {}

    def body():
        try:
            outcome["value"] = function(*args)
        except BaseException as error:  # raised again on the calling thread
            outcome["error"] = error

    done = started(body, "wsphere-batch-open")
    try:
        wait_for([done])
    except KeyboardInterrupt:
        print(f"{PROGRAM}: interrupted; nothing written", file=sys.stderr)
        sys.stderr.flush()
        os._exit(130)
    if "error" in outcome:
        raise outcome["error"]
    return outcome["value"]


def _real(value):
    """NaN is stored as NULL."""
    if value is None:
        return None
    value = float(value)
    return None if math.isnan(value) else value


class Writer:
    """Writes each finished chunk in one transaction, with the reports of its
    input.txt runs written before it commits."""

    def __init__(self, connection, plan, reports):
        self.connection, self.plan, self.reports = connection, plan, reports
        self.done = 0
        self.failed = 0
        self.failure = None

    def write(self, result):
        if not result.complete:
            return
        plan = self.plan
        with plan.lock:
            metas = [plan.meta[outcome.id] for outcome in result.outcomes]
        finished = datetime.now(timezone.utc).strftime("%Y-%m-%dT%H:%M:%S.%f")[:-3] + "Z"
        runs, atoms, kinds = [], [], []
        for outcome, meta in zip(result.outcomes, metas):
            report = None
            if outcome.ok and outcome.report is not None and self.reports:
                report, problem = self._write_report(meta.path, outcome.report)
                if problem:
                    outcome.message = "\n".join(filter(None, [outcome.message, problem]))
            converged = None if outcome.converged is None else int(bool(outcome.converged))
            runs.append((meta.id, meta.path, meta.source, meta.hash, meta.settings, meta.configuration,
                         "ok" if outcome.ok else "failed", outcome.message, outcome.atoms, meta.energy,
                         _real(outcome.radius), _real(outcome.bond_limit), converged, report, outcome.seconds,
                         finished))
            if not outcome.ok:
                continue
            symbols = outcome.kinds
            kind_of = [symbols[k] if k >= 0 else None for k in outcome.kind.tolist()]
            atoms.extend(zip([meta.id] * outcome.atoms, range(1, outcome.atoms + 1), outcome.names, kind_of,
                             outcome.w.tolist(), outcome.compliance.tolist(), outcome.members.tolist(),
                             outcome.bonded.tolist()))
            kinds.extend((meta.id, position, symbol, _real(reference), count, _real(mean), _real(sigma))
                         for position, symbol, reference, count, mean, sigma in outcome.statistics)
        with self.connection:
            self.connection.executemany(f"INSERT INTO runs ({RUN_COLUMNS}) VALUES ({','.join('?' * 16)})", runs)
            self.connection.executemany("INSERT INTO atoms VALUES (?,?,?,?,?,?,?,?)", atoms)
            self.connection.executemany("INSERT INTO kinds VALUES (?,?,?,?,?,?,?)", kinds)
        with plan.lock:
            for meta in metas:
                del plan.meta[meta.id]
        self.done += len(runs)
        self.failed += sum(1 for run in runs if run[6] == "failed")

    def _write_report(self, path, report):
        target = os.path.join(self.reports, report_name(path))
        partial = target + ".part"
        try:
            with open(partial, "wb") as stream:
                stream.write(report)
            os.replace(partial, target)
            return target, None
        except OSError as error:
            return None, f"the report was not written: {target}: {error.strerror or error}"


# ---------------------------------------------------------------------------
# Progress on a terminal.

def _clock(seconds):
    seconds = int(round(seconds))
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


class Progress:
    def __init__(self, stream, total, shown):
        self.stream, self.total, self.shown = stream, total, shown
        self.started = time.monotonic()
        self.drawn = 0.0
        self.width = 0

    def rate(self, done):
        elapsed = time.monotonic() - self.started
        return done / elapsed if elapsed > 0 else 0.0

    def draw(self, done, failed, skipped, force=False):
        if not self.shown:
            return
        now = time.monotonic()
        if not force and now - self.drawn < 0.1:
            return
        self.drawn = now
        to_do = max(self.total - skipped, done, 1)
        rate = self.rate(done)
        left = _clock((to_do - done) / rate) if rate > 0 else "?"
        try:
            columns = os.get_terminal_size(self.stream.fileno()).columns or 80
        except (OSError, ValueError):
            columns = 80
        text = f" {done}/{to_do} runs  {failed} failed  {rate:.0f} runs/s  {left} left"
        bar_width = max(0, min(40, columns - len(text) - 3))
        filled = int(bar_width * done / to_do)
        line = (f"[{'#' * filled}{'.' * (bar_width - filled)}]" if bar_width >= 10 else "") + text
        line = line[:columns - 1]
        self.stream.write("\r" + line + " " * max(0, self.width - len(line)))
        self.stream.flush()
        self.width = len(line)

    def clear(self):
        if self.shown and self.width:
            self.stream.write("\r" + " " * self.width + "\r")
            self.stream.flush()
            self.width = 0


# ---------------------------------------------------------------------------
# The picture of a database.

def plot_database(database, out, top=10):
    """W per kind over all runs (the spread of each kind) and the runs of
    largest W, into one PNG (matplotlib, Agg)."""
    if not os.path.isfile(database):
        raise BatchError(f"{database}: no such database")
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    connection = sqlite3.connect(f"file:{database}?mode=ro", uri=True)
    try:
        kinds = [symbol for (symbol,) in connection.execute(
            "SELECT symbol FROM kinds GROUP BY symbol ORDER BY min(position), symbol")]
        spread = {}
        for symbol in kinds:
            values = [w for (w,) in connection.execute(
                "SELECT w FROM atoms WHERE kind = ? AND w IS NOT NULL", (symbol,))]
            if values:
                spread[symbol] = values
        largest = connection.execute(
            "SELECT r.path, max(a.w) AS top FROM atoms a JOIN runs r ON r.id = a.run "
            "WHERE a.w IS NOT NULL GROUP BY a.run ORDER BY top DESC, r.path LIMIT ?", (top,)).fetchall()
    except sqlite3.Error as error:
        raise BatchError(f"{database}: {error}") from error
    finally:
        connection.close()
    if not spread:
        raise BatchError(f"{database}: no W to draw (no run went well)")

    figure, (left, right) = plt.subplots(1, 2, figsize=(12, 5), width_ratios=[1, 1.3])
    labels = list(spread)
    left.boxplot([spread[k] for k in labels], labels=labels, showfliers=True, flierprops={"markersize": 2})
    if all(min(v) > 0 for v in spread.values()):
        left.set_yscale("log")
    left.set_xlabel("kind")
    left.set_ylabel("W (Å²)")
    left.set_title(f"W per kind over all runs ({sum(len(v) for v in spread.values())} atoms)")
    names = [_short(path) for path, _ in largest][::-1]
    right.barh(range(len(largest)), [w for _, w in largest][::-1], color="tab:red")
    right.set_yticks(range(len(largest)))
    right.set_yticklabels(names, fontsize=8)
    right.set_xlabel("largest W of the run (Å²)")
    right.set_title(f"The {len(largest)} runs of largest W")
    figure.tight_layout()
    figure.savefig(out, dpi=100)
    plt.close(figure)


def _short(path, width=48):
    """The end of a run's path, short enough for a label."""
    parts = path.split(os.sep)
    text = os.sep.join(parts[-3:]) if len(parts) > 3 else path
    return text if len(text) <= width else "…" + text[-(width - 1):]


# ---------------------------------------------------------------------------
# The command line.

def _positive(option):
    def parse(text):
        try:
            value = float(text)
        except ValueError:
            value = math.nan
        if not (value > 0 and math.isfinite(value)):
            raise argparse.ArgumentTypeError(f"{option}: \"{text}\" is not a positive number")
        return value
    return parse


def _kind(text):
    """SYMBOL[=REF], as wsphere-input takes --kind."""
    symbol, equals, reference = text.partition("=")
    if not (1 <= len(symbol) <= 2 and symbol.isascii() and symbol.isalpha()):
        raise argparse.ArgumentTypeError(f"--kind: \"{symbol}\" is not a symbol of one or two letters")
    from wsphere import _core
    element = _core.element_of_label(symbol)
    if len(element) == len(symbol):
        symbol = element               # "SI" -> "Si"
    return symbol, (_positive("--kind")(reference) if equals else None)


def _jobs(text):
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 1:
        raise argparse.ArgumentTypeError(f"--jobs: \"{text}\" is not a positive count")
    return value


def batch_parser():
    parser = argparse.ArgumentParser(
        prog=PROGRAM,
        description="Analyse many minimisation runs (GULP outputs whatever their names, input.txt files, folders "
                    "of them) into one SQLite database. `wsphere-batch plot DB --out FILE.png` draws W per kind "
                    "from a database.",
        epilog="Exit status: 0 when the batch ran to its end (failed runs are rows with their reason), 1 when "
               "it could not be done, 2 for a wrong command line, 130 after an interrupt. The same command "
               "run again skips the runs the database already holds.")
    parser.add_argument("runs", nargs="+", metavar="RUNS",
                        help="GULP outputs, input.txt files or folders (every file in them is looked at)")
    parser.add_argument("--db", required=True, help="the SQLite database (made when missing)")
    parser.add_argument("--radius", type=_positive("--radius"), default=DEFAULT_RADIUS,
                        help="sphere radius in Angstrom for GULP runs (default 5.0)")
    parser.add_argument("--bond-limit", type=_positive("--bond-limit"), default=DEFAULT_BOND_LIMIT,
                        help="bond limit in Angstrom for GULP runs (default: chosen from each run's initial "
                             "structure, as wsphere-input chooses it)")
    parser.add_argument("--kind", type=_kind, action="append", default=[], metavar="SYMBOL[=REF]",
                        help="one kind, repeated in kind order, as wsphere-input takes it (default: the "
                             "elements present; a missing REF is measured; the last kind has none)")
    parser.add_argument("--reports", metavar="DIR",
                        help="write the report (output.txt) of every input.txt run into DIR")
    engine = parser.add_mutually_exclusive_group()
    engine.add_argument("--jobs", type=_jobs, help="worker threads on this machine (default: its cores)")
    engine.add_argument("--scheduler", metavar="tcp://HOST:PORT",
                        help="send the work to a running dask.distributed scheduler instead")
    parser.add_argument("--chunk-size", type=_jobs, metavar="N",
                        help="runs per chunk of work (default: up to 100, at least four chunks per worker)")
    parser.add_argument("--quiet", action="store_true",
                        help="no summary line (the progress bar shows on a terminal only)")
    parser.add_argument("--verbose", action="store_true",
                        help="list the files looked at and left out as not a run, with the reason")
    return parser


def plot_parser():
    parser = argparse.ArgumentParser(prog=f"{PROGRAM} plot",
                                     description="Draw W per kind over all runs of a database and the runs "
                                                 "of largest W.")
    parser.add_argument("db", help="a database written by wsphere-batch")
    parser.add_argument("--out", required=True, metavar="FILE.png", help="the picture to write")
    parser.add_argument("--top", type=_jobs, default=10, metavar="N", help="runs of largest W to show (10)")
    return parser


def main(argv=None):
    argv = list(sys.argv[1:] if argv is None else argv)
    try:
        if argv and argv[0] == "plot":
            options = plot_parser().parse_args(argv[1:])
            plot_database(options.db, options.out, top=options.top)
            return 0
        options = batch_parser().parse_args(argv)
        return run_batch(options)
    except UsageError as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 2
    except BatchError as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print(f"{PROGRAM}: interrupted", file=sys.stderr)
        return 130


def _cores():
    if hasattr(os, "sched_getaffinity"):
        return max(1, len(os.sched_getaffinity(0)))
    return os.cpu_count() or 1


def run_batch(options):
    if options.kind and options.kind[-1][1] is not None:
        raise UsageError(f"--kind {options.kind[-1][0]}={options.kind[-1][1]:g}: the last kind takes no "
                         "reference distance")
    symbols = [symbol for symbol, _ in options.kind]
    if len(set(symbols)) != len(symbols):
        raise UsageError("--kind: a kind is given twice")
    problems, left_out = [], []
    found, looked_at = discover(options.runs, problems, left_out)
    if problems:
        raise UsageError("; ".join(problems))
    if options.reports and not os.path.isdir(options.reports):
        try:
            os.makedirs(options.reports, exist_ok=True)
        except OSError as error:
            raise BatchError(f"--reports {options.reports}: {error.strerror or error}") from error
    settings = Settings(options.radius, options.bond_limit, options.kind, reports=bool(options.reports))
    connection, known, first_id, index_at_end = interruptible(open_database, options.db)

    engine = ClusterEngine(options.scheduler) if options.scheduler else ThreadEngine(options.jobs or _cores())
    workers = engine.workers()
    chunk_size = options.chunk_size or max(1, min(100, math.ceil(len(found) / (4 * workers))))
    plan = Plan(found, settings, known, first_id, chunk_size)
    writer = Writer(connection, plan, os.path.abspath(options.reports) if options.reports else None)
    progress = Progress(sys.stderr, len(found), sys.stderr.isatty())
    stop = threading.Event()
    results = queue.Queue(maxsize=2 * workers + 2)
    finished = object()
    engine_failure = []

    def deliver(result):
        put_unless_stopped(results, result, stop)

    threads = []

    def drive():
        try:
            engine.process(prefetch(plan.chunks(stop), 2 * workers + 2, stop, threads), settings, deliver, stop)
        except BaseException as error:  # reported by the main thread
            engine_failure.append(error)
        finally:
            while True:
                try:
                    results.put(finished, timeout=0.1)
                    break
                except queue.Full:
                    if stop.is_set() and writer.failure is not None:
                        break
            stop.set()     # the planning thread stops too, should the engine have left early

    def write():
        try:
            while True:
                for outcome in plan.take_unreadable():
                    writer.write(ChunkResult(-1, [outcome]))
                try:
                    result = results.get(timeout=0.1)
                except queue.Empty:
                    continue
                if result is finished:
                    for outcome in plan.take_unreadable():
                        writer.write(ChunkResult(-1, [outcome]))
                    if index_at_end:
                        with connection:
                            connection.execute(W_INDEX)
                    return
                writer.write(result)
        except BaseException as error:
            writer.failure = error
            stop.set()

    threads.append(started(drive, "wsphere-batch-engine"))
    written = started(write, "wsphere-batch-writer")
    threads.append(written)
    interrupted = False
    deadline = None
    try:
        progress.draw(0, 0, 0, force=True)
        while not written.wait(0.1):
            progress.draw(writer.done, writer.failed, plan.skipped)
    except KeyboardInterrupt:
        interrupted = True
        stop.set()
        progress.clear()
        print(f"{PROGRAM}: interrupted; keeping the chunks already finished", file=sys.stderr)
        deadline = time.monotonic() + GRACE_SECONDS
    progress.clear()
    elapsed = time.monotonic() - progress.started
    try:
        # Every thread of the batch ends before the database is closed.
        stuck = not wait_for(threads, deadline)
    except KeyboardInterrupt:      # a second interrupt: leave at once
        interrupted, stuck = True, True
    lost = getattr(engine, "lost", 0)
    left = (plan.runs - plan.skipped - writer.done) + (len(found) - plan.files)
    if options.verbose:
        for path, reason in left_out:
            print(f"{PROGRAM}: left out {path}: {reason}", file=sys.stderr)
    if not options.quiet:
        rate = writer.done / elapsed if elapsed > 0 else 0.0
        line = (f"{PROGRAM}: {writer.done} runs written ({writer.failed} failed), {plan.skipped} skipped as "
                f"already in {options.db}, in {elapsed:.1f} s ({rate:.0f} runs/s)")
        if interrupted or left > 0:
            line += f"; {left} runs not done: run the same command again to do them"
        print(line, file=sys.stderr)
    if not options.quiet or left_out:
        line = (f"{PROGRAM}: looked at {looked_at} file{'s' if looked_at != 1 else ''}, left out {len(left_out)} "
                "as not a run")
        if left_out and not options.verbose:
            line += " (--verbose lists them)"
        print(line, file=sys.stderr)
    sys.stderr.flush()
    sys.stdout.flush()
    if stuck:
        # A write or a wait that does not end: the database keeps every
        # committed chunk (an unfinished transaction is rolled back when the
        # database is next opened).
        os._exit(130 if interrupted else 1)
    engine.close(wait=not interrupted)
    connection.close()
    if interrupted:
        return 130
    if isinstance(writer.failure, sqlite3.IntegrityError):
        raise BatchError(f"{options.db}: {writer.failure}: did another batch write this database meanwhile?")
    if writer.failure is not None:
        raise BatchError(f"{options.db}: {writer.failure}")
    if engine_failure:
        raise BatchError(f"the analysis stopped: {engine_failure[0]!r}")
    if lost:
        raise BatchError(f"{lost} runs were lost with their chunks; run the same command again to do them")
    return 0


if __name__ == "__main__":
    # Run as `python3 -m wsphere.batch`: the work sent to a cluster must name
    # this module as wsphere.batch, which the workers import, not __main__.
    from wsphere import batch as _module
    sys.exit(_module.main())
