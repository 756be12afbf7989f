// Atom kinds and atom names: wsphere counts an atom in kind m < K when its
// name starts with that kind's two-character symbol (a one-letter symbol
// padded with a blank), and in the last kind when its name starts with the
// last symbol's letter and that symbol has one letter.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "companion/crystal.hpp"
#include "structure/structure_state.hpp"

namespace wsphere::companion {

// The capacities of wsphere's structure state.
inline constexpr int kMaxKinds = kKindCapacity;
inline constexpr int kMaxAtoms = kCellCapacity;

struct KindChoice {
  std::string symbol;
  std::optional<double> reference;
};

// The elements present: those of two letters in order of first appearance,
// then those of one letter, the most frequent of them last. Where the last
// would have two letters (no one-letter element), an empty last kind of one
// letter that no element starts with ("X") follows, so that every element
// is a kind that counts its atoms.
std::vector<std::string> default_kind_symbols(const std::vector<Atom>& atoms);

// Element symbol plus the atom's running number within its element. An
// element of one letter that is a kind other than the last gets a blank
// second character ("O 12"), so that its name starts with the padded symbol.
std::vector<std::string> atom_names(const std::vector<Atom>& atoms,
                                    const std::vector<std::string>& kinds);

// The kinds (0-based) wsphere counts an atom of this name in, by wsphere's own
// rule (structure/atom_kind.hpp).
std::vector<int> kinds_of_name(const std::string& name, const std::vector<std::string>& kinds);

// Warnings about kinds that will not count atoms as their elements suggest:
// atoms in no kind, atoms in more than one, kinds without atoms.
std::vector<std::string> kind_warnings(const std::vector<Atom>& atoms,
                                       const std::vector<std::string>& names,
                                       const std::vector<std::string>& kinds);

struct BondMean {
  double mean = 0.0;
  int count = 0;  // distances
  int atoms = 0;  // atoms of the kind
};

// The mean distance from atoms of a kind to every atom within `limit`
// (Angstrom), over the cell's images next to it.
BondMean mean_bond_distance(const Crystal& crystal, const std::vector<std::string>& names,
                            const std::vector<std::string>& kinds, int kind, double limit);

// wsphere uses the references of the first two kinds only, for the
// compliance of their atoms; the references of later kinds enter nothing.
inline constexpr std::size_t kKindsWithCompliance = 2;

// What a later kind gets when it has nothing to measure a reference from: a
// value no bond has, so that nobody takes it for a measurement.
inline constexpr double kPlaceholderReference = 0.0;

struct Reference {
  double value = 0.0;
  std::string warning;  // set when the value is the placeholder
};

// The reference of kind `kind` (0-based) from its bonds: their mean. When the
// kind has no atom or no bond, a kind with compliance raises InputError whose
// advice names `how` to give the reference ("--kind F=REF"); a later kind
// gets the placeholder and a warning.
Reference reference_from(const BondMean& bond, const std::vector<std::string>& kinds, std::size_t kind,
                         double limit, const std::string& how);

}  // namespace wsphere::companion
