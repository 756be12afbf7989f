"""Extended XYZ with W and compliance per atom, for viewers that colour atoms
by a per-atom column (and for ase.io.read)."""

import math
import os

import numpy as np

from wsphere.structures import as_crystal


def _number(x):
    return "nan" if math.isnan(x) else repr(float(x))


def write_extxyz(result, structure, path):
    """Writes `structure` (the initial state the result came from: ase.Atoms,
    pymatgen Structure or wsphere.Crystal) to `path` with the columns
    species, pos, name, W, compliance, members and bonded. Cartesian
    positions in Angstrom; ase.Atoms keep their own cell vectors."""
    if len(result) != len(structure):
        raise ValueError(f"the result has {len(result)} atoms, the structure {len(structure)}")
    crystal = as_crystal(structure)
    if hasattr(structure, "get_positions") and hasattr(structure, "cell"):
        matrix = np.asarray(structure.cell[:], dtype=float)
        cartesian = structure.get_positions()
    else:
        matrix = crystal.matrix()
        cartesian = crystal.cartesian()
    lattice = " ".join(repr(float(v)) for v in matrix.reshape(-1))
    lines = [str(len(crystal)),
             f'Lattice="{lattice}" Properties=species:S:1:pos:R:3:name:S:1:W:R:1:compliance:R:1'
             f':members:I:1:bonded:I:1 pbc="T T T"']
    for i, element in enumerate(crystal.elements):
        x, y, z = cartesian[i]
        name = result.names[i].replace(" ", "_") or "-"
        lines.append(f"{element} {x!r} {y!r} {z!r} {name} {_number(result.w[i])} "
                     f"{_number(result.compliance[i])} {int(result.members[i])} {int(result.bonded[i])}")
    with open(os.fspath(path), "w", encoding="utf-8", newline="\n") as stream:
        stream.write("\n".join(lines) + "\n")
