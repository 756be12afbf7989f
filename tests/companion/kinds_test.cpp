// Kinds and atom names as wsphere will count them.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>

#include "companion/kinds.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

std::vector<Atom> atoms_of(const std::vector<std::string>& elements) {
  std::vector<Atom> atoms;
  for (const std::string& element : elements) atoms.push_back({element, "", {}});
  return atoms;
}

TEST(Kinds, DefaultsPutTwoLetterElementsFirstAndOneLetterLast) {
  const struct {
    std::vector<std::string> elements;
    std::vector<std::string> kinds;
  } cases[] = {
      {{"Al", "Al", "Si", "O", "O"}, {"Al", "Si", "O"}},
      {{"O", "Si", "O"}, {"Si", "O"}},
      {{"O", "H", "Ca", "O", "H", "O"}, {"Ca", "H", "O"}},  // the commoner one-letter element last
      {{"H", "O", "O", "H", "H", "Ca"}, {"Ca", "O", "H"}},
      // Without a one-letter element, an empty last kind lets the last element count its atoms.
      {{"Ge", "Si"}, {"Ge", "Si", "X"}},
      {{"Au", "Au"}, {"Au", "X"}},
      {{"Xe", "Ar"}, {"Xe", "Ar", "Q"}},
  };
  for (const auto& c : cases) EXPECT_EQ(default_kind_symbols(atoms_of(c.elements)), c.kinds);
}

TEST(Kinds, NamesCountPerElementAndPadOneLetterKindsBeforeTheLast) {
  const struct {
    std::vector<std::string> kinds;
    std::vector<std::string> names;
  } cases[] = {
      {{"Si", "O"}, {"Si1", "O1", "O2", "Si2", "H1"}},
      {{"O", "Si"}, {"Si1", "O 1", "O 2", "Si2", "H1"}},
      {{"O", "H"}, {"Si1", "O 1", "O 2", "Si2", "H1"}},
      {{}, {"Si1", "O1", "O2", "Si2", "H1"}},
  };
  const std::vector<Atom> atoms = atoms_of({"Si", "O", "O", "Si", "H"});
  for (const auto& c : cases) EXPECT_EQ(atom_names(atoms, c.kinds), c.names);
}

// Names and symbols as the companion holds them (any length) go through
// wsphere's rule as six- and two-character items.
TEST(Kinds, MembershipOfNamesAsWsphereReadsThem) {
  const struct {
    std::vector<std::string> kinds;
    std::string name;
    std::vector<int> expected;
  } cases[] = {
      {{"Si", "Al", "O"}, "Si1", {0}},
      {{"Si", "Al", "O"}, "O 1", {2}},
      {{"Si", "Al", "O"}, "Os12", {2}},       // the last kind takes every name of its letter
      {{"Si", "Al", "O"}, "S1", {}},
      {{"O", "Si"}, "O1", {}},                // "O " before the last needs a blank second
      {{"O", "Si"}, "O 1", {0}},
      {{"Os", "O"}, "Os1", {0, 1}},           // in two kinds
      {{"Si", "Ge"}, "Ge3", {}},              // a two-letter last kind takes nothing
      {{"H", "O", "C"}, "C", {2}},            // a one-character name
      {{"Silicon", "O"}, "Si1", {0}},         // symbols count by two characters
      {{"Al", "O"}, "Al1000000", {0}},
      {{"", "O"}, "  1", {0}},                 // an empty symbol is two blanks
      // More kinds than the few held without allocating.
      {{"H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne", "Na", "Mg", "Al", "Si", "P", "S", "Cl", "K"},
       "K 7", {17}},
      {{"H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne", "Na", "Mg", "Al", "Si", "P", "S", "Cl", "K"},
       "Cl2", {16}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kinds_of_name(c.name, c.kinds), c.expected) << c.name << " in " << c.kinds.front() << "...";
  }
}

TEST(Kinds, WarningsForAtomsThatKindsMiss) {
  const struct {
    std::vector<std::string> elements;
    std::vector<std::string> kinds;
    std::vector<std::string> warnings;
  } cases[] = {
      {{"Si", "O", "Ca", "Ca"}, {"Si", "O"}, {"the Ca atoms (Ca1 ...) belong to no kind"}},
      {{"Os", "O"}, {"Os", "O"}, {"the Os atoms (Os1 ...) are counted in kinds Os and O"}},
      {{"Si", "O"}, {"Si", "Al", "O"}, {"kind Al holds no atom"}},
      {{"Si", "O"},
       {"O", "Si"},
       {"the Si atoms (Si1 ...) belong to no kind",
        "kind Si holds no atom: the last kind counts atoms only when its symbol has one letter"}},
      {{"Si", "Al", "O"}, {"Si", "Al", "O"}, {}},
  };
  for (const auto& c : cases) {
    const std::vector<Atom> atoms = atoms_of(c.elements);
    EXPECT_EQ(kind_warnings(atoms, atom_names(atoms, c.kinds), c.kinds), c.warnings);
  }
}

// Rock salt with a = 4: six neighbours at 2, twelve at 2 sqrt 2.
TEST(Kinds, MeanBondDistanceOverNeighbouringCells) {
  Crystal crystal{"test", {4.0, 4.0, 4.0, 90.0, 90.0, 90.0}, {}};
  for (const std::array<double, 3>& t : {std::array<double, 3>{0, 0, 0}, {0.5, 0.5, 0}, {0.5, 0, 0.5}, {0, 0.5, 0.5}}) {
    crystal.atoms.push_back({"Na", "", t});
    crystal.atoms.push_back({"Cl", "", {t[0] + 0.5 - (t[0] >= 0.5), t[1], t[2]}});
  }
  const std::vector<std::string> kinds = {"Na", "Cl"};
  const std::vector<std::string> names = atom_names(crystal.atoms, kinds);
  const struct {
    double limit;
    double mean;
    int count;
  } cases[] = {
      {2.2, 2.0, 24}, {3.0, (6 * 2.0 + 12 * std::sqrt(8.0)) / 18, 72}, {1.9, 0.0, 0}};
  for (const auto& c : cases) {
    const BondMean bond = mean_bond_distance(crystal, names, kinds, 0, c.limit);
    EXPECT_EQ(bond.count, c.count) << c.limit;
    EXPECT_NEAR(bond.mean, c.mean, 1e-12) << c.limit;
  }
}

}  // namespace
}  // namespace wsphere::companion::testing
