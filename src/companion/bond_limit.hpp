// The bond limit chosen from a structure when the user gives none: past the
// first coordination shell of every atom of the kinds with compliance, short
// of the second.
#pragma once

#include <string>
#include <vector>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// The limit wsphere-input wrote before it chose one: kept whenever it selects
// the same bonds as the chosen one, so that results of earlier runs stay.
inline constexpr double kUsualBondLimit = 2.2;

// A gap between two neighbour distances of an atom ends its first shell when
// the farther is at least this many times the nearer.
inline constexpr double kShellGapRatio = 1.10;

// The first shell of an atom ends at most this many times its nearest
// distance out; neighbours are looked at up to twice the nearest distance.
inline constexpr double kShellWindow = 1.5;

struct BondLimitChoice {
  double limit = kUsualBondLimit;
  double first_shell_end = 0.0;     // the farthest first-shell neighbour of any atom looked at
  double second_shell_start = 0.0;  // the nearest second-shell neighbour of any atom looked at
  int atoms = 0;                    // atoms looked at: those of the kinds with compliance
  std::string warning;              // set when the shells of the atoms overlap
};

// First shell of one atom: its neighbour distances sorted, the first gap of
// at least kShellGapRatio at or below kShellWindow times the nearest
// distance (else the widest gap there) ends it. `shell` gets the last
// distance before the gap, `beyond` the first after it (`cap` when none).
void first_shell(std::vector<double>& distances, double cap, double& shell, double& beyond);

// The limit for the atoms of kinds 0 and 1 (those with compliance): inside
// the range between the farthest first-shell neighbour and the nearest
// second-shell neighbour over all of them, kUsualBondLimit when it lies
// there, else the middle of the range to 0.01 A. When the ranges of the
// atoms do not overlap, the limit reaches every first shell and the warning
// says whose second shell it reaches too. Atoms without a neighbour within
// 4 A are bonded to nothing and left out. When no atom is of kind 0 or 1
// (kinds given that the structure lacks), all atoms are looked at. Without
// atoms to look at, kUsualBondLimit.
BondLimitChoice choose_bond_limit(const Crystal& crystal, const std::vector<std::string>& names,
                                  const std::vector<std::string>& kinds);

}  // namespace wsphere::companion
