// A CIF file: one state of the structure.
#pragma once

#include <string>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// The first data block with fractional atom sites: its cell, its sites and
// its symmetry (the listed operations, else the Hall symbol, else the
// Hermann-Mauguin name, else the group number).
SourceState read_cif_file(const std::string& path);

}  // namespace wsphere::companion
