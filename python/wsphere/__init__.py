"""wsphere from Python: the neighbour-sphere analysis of a structure before and
after a lattice-energy minimisation, the readers of wsphere-input, the whole
program in memory and the tables of its reports.

    import wsphere
    result = wsphere.analyse(initial, minimised, radius=6.0)   # ase.Atoms, pymatgen, wsphere.Crystal
    result.w, result.compliance, result.to_pandas()
    first, last = wsphere.read_pair("run.gout")
    report, messages, status = wsphere.run(open("input.txt", "rb").read())
    tables = wsphere.read_report("output.txt")

Many runs into one SQLite database: wsphere-batch (python3 -m wsphere.batch).

The names are loaded on first use, so that the report reader works without
numpy or the compiled extension (wsphere-summary relies on that).
"""

import importlib

_HOMES = {
    "analyse": "wsphere.analysis",
    "analyse_input": "wsphere.analysis",
    "Result": "wsphere.analysis",
    "KindStatistics": "wsphere.analysis",
    "Crystal": "wsphere.structures",
    "read": "wsphere.structures",
    "read_pair": "wsphere.structures",
    "run": "wsphere.analysis",
    "RunResult": "wsphere.analysis",
    "InputError": "wsphere.structures",
    "ConvergenceWarning": "wsphere.structures",
    "ReferenceWarning": "wsphere.analysis",
    "read_report": "wsphere.report",
    "Report": "wsphere.report",
    "write_extxyz": "wsphere.extxyz",
    "plot": None,
    "batch": None,
}

__all__ = sorted(_HOMES)


def __getattr__(name):
    if name not in _HOMES:
        raise AttributeError(f"module 'wsphere' has no attribute {name!r}")
    if _HOMES[name] is None:
        value = importlib.import_module(f"wsphere.{name}")
    else:
        value = getattr(importlib.import_module(_HOMES[name]), name)
    globals()[name] = value
    return value


def __dir__():
    return sorted(set(globals()) | set(_HOMES))
