"""The analysis: W and compliance of every atom, from two structures or from an
input.txt, and the whole program in memory."""

from dataclasses import dataclass
import math
import os

import numpy as np

from wsphere import _core
from wsphere.structures import as_crystal

# Warned when a kind whose reference wsphere does not use (the third and
# later) has no bond to measure one from: the reference is a placeholder, 0.
ReferenceWarning = _core.ReferenceWarning


@dataclass(frozen=True)
class KindStatistics:
    symbol: str
    count: int     # atoms of the kind
    mean: float    # mean W, NaN for a kind without atoms
    sigma: float   # NaN for a kind of one atom or with a NaN among its W


class Result:
    """What the analysis gives for every atom, in the order of the structure:

    w, compliance  float32 arrays (the report's values as singles; compliance
                   in percent, 0 outside the first two kinds)
    members, bonded  int arrays: atoms in the sphere, of them within the bond limit
    kind           int array: index into `kinds` of the atom's kind, -1 for none
    order          atom indices by ascending W, as the report's ordered table
    names, kinds, references, statistics, radius
    bond_limit     as used (a single); `bond_limit_chosen` tells whether it was
                   chosen from the structure rather than given
    converged      False when the minimised state came from an optimisation
                   that ended without a minimum (`notice` quotes GULP)
    """

    def __init__(self, prepared, raw):
        self.names = [_text(name) for name in prepared["names"]]
        self.kinds = [_text(symbol).rstrip(" \0") for symbol, _ in prepared["kinds"]]
        self.references = [float(reference) for _, reference in prepared["kinds"]]
        self.radius = float(prepared["radius"])
        self.bond_limit = float(prepared["bond_limit"])
        self.bond_limit_chosen = bool(prepared.get("bond_limit_chosen", False))
        self.converged = bool(prepared.get("converged", True))
        self.notice = prepared.get("notice", "")
        self.warnings = list(prepared.get("warnings", []))
        self.w = raw["w"]
        self.compliance = raw["compliance"]
        self.members = raw["members"]
        self.bonded = raw["bonded"]
        self.kind = raw["kind"]
        self.order = raw["order"]
        self.statistics = [KindStatistics(kind, int(n), float(m), float(g))
                           for kind, (_, n, m, g) in zip(self.kinds, raw["statistics"])]

    def __len__(self):
        return len(self.names)

    def __repr__(self):
        return f"<wsphere.Result of {len(self)} atoms, kinds {' '.join(self.kinds)}>"

    def kind_symbols(self):
        """The kind symbol of every atom ('' for an atom in no kind)."""
        return [self.kinds[k] if k >= 0 else "" for k in self.kind]

    def largest(self, count=10):
        """Indices of the `count` atoms of largest W, largest first (NaN left out)."""
        ranked = [i for i in self.order[::-1] if not math.isnan(self.w[i])]
        return ranked[:count]

    def to_pandas(self):
        """The atoms as a DataFrame indexed by atom number (from 1)."""
        import pandas as pd
        frame = pd.DataFrame({
            "name": self.names,
            "kind": self.kind_symbols(),
            "w": self.w,
            "compliance": self.compliance,
            "members": self.members,
            "bonded": self.bonded,
        }, index=pd.RangeIndex(1, len(self) + 1, name="atom"))
        return frame

    def statistics_to_pandas(self):
        import pandas as pd
        return pd.DataFrame([vars(s) for s in self.statistics]).set_index("symbol")


def _text(item):
    """Names and symbols of input.txt are bytes in Windows-1251."""
    return item.decode("cp1251", errors="replace") if isinstance(item, bytes) else item


def _bytes(item):
    return item if isinstance(item, bytes) else item.encode("cp1251", errors="replace")


def _kind_choice(kinds):
    """[(symbol, reference or None)] from None, symbols, pairs or a dict."""
    if kinds is None:
        return None
    if isinstance(kinds, dict):
        kinds = list(kinds.items())
    choice = []
    for kind in kinds:
        if isinstance(kind, str):
            choice.append((kind, None))
        else:
            symbol, reference = kind
            choice.append((str(symbol), None if reference is None else float(reference)))
    return choice


def analyse(initial, minimised, radius=5.0, bond_limit=None, kinds=None, threads=1):
    """W and compliance of every atom of `initial` after the minimisation that
    gave `minimised` (ase.Atoms, pymatgen Structure or wsphere.Crystal, the
    same atoms in the same order).

    `kinds`: None takes the kinds, atom names and reference distances as
    wsphere-input chooses them; otherwise symbols in order, each with an
    optional reference distance ("Si", ("O", 1.61), or a dict {"Si": 1.61,
    "O": None}); a missing reference is the mean bond distance, as
    wsphere-input measures it; a kind after the second with nothing to
    measure gets the placeholder 0.0 and a ReferenceWarning, as
    wsphere-input does (only the references of kinds 1 and 2 enter the
    compliance). `bond_limit` None chooses it from the initial structure as
    wsphere-input does (past the first coordination shell of the atoms of
    kinds 1 and 2, short of the second). The numbers go in as input.txt written by
    wsphere-input would carry them, so the result equals that file's report.
    The analysis runs without the GIL."""
    first = as_crystal(initial, "initial structure")
    second = as_crystal(minimised, "minimised structure")
    prepared = _core.prepare(first.elements, first.cell, second.cell, first.positions, second.positions,
                             float(radius), None if bond_limit is None else float(bond_limit), _kind_choice(kinds))
    prepared["converged"] = getattr(second, "converged", True)
    prepared["notice"] = getattr(second, "notice", "")
    return _analyse_prepared(prepared, threads=int(threads))


def _analyse_prepared(prepared, checked=True, threads=1):
    raw = _core.analyse([_bytes(name) for name in prepared["names"]], prepared["initial_cell"],
                        prepared["minimised_cell"], prepared["initial"], prepared["minimised"],
                        prepared["radius"], prepared["bond_limit"],
                        [(_bytes(s), float(r)) for s, r in prepared["kinds"]], checked, threads)
    return Result(prepared, raw)


def _bytes_of(source):
    if isinstance(source, (bytes, bytearray, memoryview)):
        return bytes(source)
    with open(os.fspath(source), "rb") as stream:
        return stream.read()


def analyse_input(source):
    """The analysis of an input.txt (a path, or its bytes) with its own
    settings: the values of the report the program writes for it."""
    return _analyse_prepared(_core.read_input(_bytes_of(source)), checked=False)


@dataclass(frozen=True)
class RunResult:
    report: bytes     # what output.txt would hold (Windows-1251, CR LF)
    messages: list    # the console's lines
    status: int       # the program's exit status

    def __iter__(self):
        return iter((self.report, self.messages, self.status))


def run(input_bytes, directory="/run"):
    """The whole program on the bytes of an input.txt, in memory: the report,
    the console's message lines and the exit status. Messages name the files
    as if they stood in `directory`."""
    if not isinstance(input_bytes, (bytes, bytearray, memoryview)):
        raise TypeError("run() takes the bytes of an input.txt; read the file in binary mode")
    report, messages, status = _core.run(bytes(input_bytes), str(directory))
    return RunResult(report, messages.decode("utf-8", errors="replace").splitlines(), status)
