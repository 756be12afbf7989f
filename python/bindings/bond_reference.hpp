// The mean bond distance of a kind, as wsphere-input measures it, without
// looking at every pair of atoms.
#pragma once

#include <string>
#include <vector>

#include "companion/crystal.hpp"
#include "companion/kinds.hpp"

namespace wsphere::python {

// Equals companion::mean_bond_distance bit for bit: the same distances, added
// in the same order. Atoms are put in bins of the cell; a pair whose images
// all lie beyond the limit along some cell axis adds nothing there either and
// is not visited. Coordinates must lie in [0, 1).
companion::BondMean measured_bond_distance(const companion::Crystal& crystal, const std::vector<std::string>& names,
                                           const std::vector<std::string>& kinds, int kind, double limit);

}  // namespace wsphere::python
