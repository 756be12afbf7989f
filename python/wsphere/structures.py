"""Structures: the package's own Crystal, the readers of wsphere-input and the
conversion of ase.Atoms and pymatgen structures."""

from dataclasses import dataclass, field
import os
import warnings

import numpy as np

from wsphere import _core

InputError = _core.InputError


class ConvergenceWarning(UserWarning):
    """The optimisation of a run ended without a minimum (GULP's notice is the
    message); the minimised state is where it stopped."""


@dataclass
class Crystal:
    """One state of a structure: the cell (a, b, c in Angstrom; alpha, beta,
    gamma in degrees), the element of every atom and the fractional positions
    as an (n, 3) array. `origins` tells where a reader found each atom; the
    final state of a printed output tells whether its optimisation
    `converged` and, when not, GULP's `notice`."""

    cell: tuple
    elements: list
    positions: np.ndarray
    file: str = ""
    origins: list = field(default=None, repr=False)
    converged: bool = field(default=True, repr=False)
    notice: str = field(default="", repr=False)

    def __post_init__(self):
        self.cell = tuple(float(v) for v in self.cell)
        self.elements = [str(e) for e in self.elements]
        self.positions = np.asarray(self.positions, dtype=np.float64).reshape(-1, 3)

    def __len__(self):
        return len(self.elements)

    def matrix(self):
        """The cell vectors as rows (a along x, b in the xy plane), Angstrom."""
        return cell_matrix(self.cell)

    def cartesian(self):
        return self.positions @ self.matrix()

    def to_ase(self):
        import ase
        return ase.Atoms(symbols=self.elements, cell=self.matrix(), scaled_positions=self.positions,
                         pbc=True)

    def to_pymatgen(self):
        from pymatgen.core import Lattice, Structure
        lattice = Lattice.from_parameters(*self.cell)
        return Structure(lattice, self.elements, self.positions, coords_are_cartesian=False)


def cell_matrix(cell):
    a, b, c, alpha, beta, gamma = cell
    ca, cb, cg = (np.cos(np.radians(x)) for x in (alpha, beta, gamma))
    sg = np.sin(np.radians(gamma))
    cx = c * cb
    cy = c * (ca - cb * cg) / sg
    cz = np.sqrt(max(c * c - cx * cx - cy * cy, 0.0))
    return np.array([[a, 0.0, 0.0], [b * cg, b * sg, 0.0], [cx, cy, cz]])


def _state(data):
    return Crystal(cell=data["cell"], elements=data["elements"], positions=data["positions"],
                   file=data["file"], origins=data["origins"], converged=data.get("converged", True),
                   notice=data.get("notice", ""))


def is_gulp_output(path):
    """Whether a file is GULP's printed output, by its first bytes (not its name)."""
    try:
        with open(path, "rb") as stream:
            head = stream.read(_core.HEAD_BYTES)
    except OSError:
        return False
    return _core.is_gulp_output(head)


def _path(path):
    return os.fspath(path)


def read(path, minimised=False, configuration=None):
    """One state from a file of a minimisation run: .gin, .res or .cif (the
    whole cell, expanded by its symmetry), or GULP's printed output, known by
    its content whatever its name (its input structure, or the optimised one
    with minimised=True; its input structure is there even when the run gave
    no final one). `configuration` (from 1) chooses one of an output that
    holds several. Bad files raise InputError naming the file and line."""
    states = _core.read_states(_path(path), initial_only=not minimised, configuration=_configuration(configuration))
    return _state(states[-1] if minimised else states[0])


def _configuration(configuration):
    if configuration is None:
        return 0
    if isinstance(configuration, bool) or not isinstance(configuration, int) or configuration < 1:
        raise InputError(f"configuration must be a number from 1, not {configuration!r}")
    return configuration


def read_pair(initial, minimised=None, configuration=None):
    """The two states of a run: from one printed output of GULP (known by its
    content, whatever its name), or from two files (an output gives its input
    structure as the first, its optimised one as the second). An output of
    several configurations needs `configuration` (from 1). Both states must
    list the same atoms in the same order. A run whose optimisation did not
    converge gives its states with a ConvergenceWarning quoting GULP."""
    if minimised is None:
        path = _path(initial)
        if os.path.isfile(path) and not is_gulp_output(path):
            raise InputError(f"{path}: a single file must be a printed output of GULP (known by its content); "
                             "otherwise give two files")
        states = _core.read_states(path, configuration=_configuration(configuration))
        first, second = _state(states[0]), _state(states[1])
    else:
        first = read(initial, configuration=configuration)
        second = read(minimised, minimised=True, configuration=configuration)
    check_same_atoms(first, second)
    if not second.converged:
        warnings.warn(f"{second.file}: the optimisation did not converge (GULP: \"{second.notice}\"); the "
                      "minimised state is where it stopped", ConvergenceWarning, stacklevel=2)
    return first, second


def check_same_atoms(first, second):
    origin = lambda state, i: (f" {state.origins[i]}" if state.origins else f" atom {i + 1}")
    common = min(len(first), len(second))
    for i in range(common):
        if first.elements[i] != second.elements[i]:
            raise InputError(
                f"atom {i + 1} differs: {first.elements[i]} from {first.file}{origin(first, i)}, "
                f"{second.elements[i]} from {second.file}{origin(second, i)}; "
                "both states must list the same atoms in the same order")
    if len(first) != len(second):
        longer = first if len(first) > len(second) else second
        raise InputError(
            f"the initial state has {len(first)} atoms, the minimised state {len(second)}; "
            f"the first without a partner is atom {common + 1}, {longer.elements[common]} "
            f"from {longer.file}{origin(longer, common)}")


def as_crystal(structure, what="structure"):
    """A Crystal from a Crystal, an ase.Atoms or a pymatgen (I)Structure."""
    if isinstance(structure, Crystal):
        return structure
    kind = type(structure)
    module = kind.__module__ or ""
    if module.startswith("ase"):
        if not all(structure.pbc) or structure.cell.rank != 3:
            raise InputError(f"the {what} needs a periodic cell of three vectors")
        return Crystal(cell=structure.cell.cellpar(), elements=structure.get_chemical_symbols(),
                       positions=structure.get_scaled_positions(wrap=False), file=what)
    if module.startswith("pymatgen"):
        if not structure.is_ordered:
            raise InputError(f"the {what} has sites of more than one species; wsphere needs one element per site")
        lattice = structure.lattice
        return Crystal(cell=(*lattice.abc, *lattice.angles),
                       elements=[site.specie.symbol for site in structure],
                       positions=structure.frac_coords, file=what)
    raise TypeError(f"the {what} must be an ase.Atoms, a pymatgen Structure or a wsphere.Crystal, "
                    f"not {kind.__name__}")
