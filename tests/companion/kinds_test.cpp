// Kinds and atom names as wsphere will count them.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>

#include "structure/atom_kind.hpp"
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
      {{"Ge", "Si"}, {"Ge", "Si"}},
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

// The membership test must agree with wsphere's own for every pairing.
TEST(Kinds, MembershipAgreesWithWsphere) {
  const std::vector<std::vector<std::string>> kind_lists = {
      {"Si", "Al", "O"}, {"O", "Si"}, {"Os", "O"}, {"Si", "Ge"}, {"O"}, {"H", "O", "C"}};
  const std::vector<std::string> names = {"Si1", "O1", "O 1", "Os12", "Ge3", "Al1000", "S1", "C 4", "H1"};
  for (const auto& kinds : kind_lists) {
    for (const std::string& name : names) {
      AtomName bytes;
      bytes.fill(' ');
      std::copy(name.begin(), name.end(), bytes.begin());
      std::vector<int> expected;
      for (std::size_t m = 0; m < kinds.size(); ++m) {
        KindSymbol symbol{kinds[m][0], kinds[m].size() > 1 ? kinds[m][1] : ' '};
        const bool member = m + 1 < kinds.size() ? has_symbol(bytes, symbol) : has_last_symbol(bytes, symbol);
        if (member) expected.push_back(static_cast<int>(m));
      }
      EXPECT_EQ(kinds_of_name(name, kinds), expected) << name << " in " << kinds.front() << "...";
    }
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
