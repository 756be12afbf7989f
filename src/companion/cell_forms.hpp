// The forms a cell is printed in besides its six parameters: three lattice
// vectors, and the primitive cell of a centred lattice.
#pragma once

#include <array>
#include <optional>

#include "companion/crystal.hpp"

namespace wsphere::companion {

using Rows = std::array<std::array<double, 3>, 3>;

// The cell whose edge vectors are the rows, Angstrom.
Cell cell_of_vectors(const Rows& vectors);

// Edge vectors of a cell as rows: a along x, b in the xy plane.
Rows vectors_of(const Cell& cell);

// Integer rows M with full = M x primitive: the conventional cell's edges as
// sums of the primitive edges (centring of P, A, B, C, I, F or R). Found from
// the two cells' metrics, each entry -1, 0 or 1; none when no such matrix
// turns `primitive` into `full` within a relative 1e-4.
std::optional<std::array<std::array<int, 3>, 3>> centring_matrix(const Cell& primitive, const Cell& full);

// The conventional cell of a primitive one, by that matrix.
Cell full_cell(const Cell& primitive, const std::array<std::array<int, 3>, 3>& matrix);

}  // namespace wsphere::companion
