// From a state as a file gives it to every atom of the cell.
#pragma once

#include <array>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// Images of two atoms closer than this (Angstrom) are one atom.
inline constexpr double kSamePositionTolerance = 0.1;

// Every atom of the cell: the images of each listed atom under the symmetry
// operations, in the order of the list and then of the operations, an image
// that falls on an earlier image of the same atom dropped; coordinates
// wrapped into [0, 1).
Crystal expand(const SourceState& state);

// The cell repeated n[0] x n[1] x n[2] times; the images of each atom follow
// one another, so the order of elements is kept.
Crystal replicate(const Crystal& crystal, const std::array<int, 3>& n);

}  // namespace wsphere::companion
