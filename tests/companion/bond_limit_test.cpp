// The bond limit chosen from a structure: past the first coordination shell
// of kinds 1 and 2 and short of the second, the usual 2.2 A where that
// selects the same bonds.
#include <gtest/gtest.h>

#include <cmath>

#include "companion/bond_limit.hpp"
#include "companion/bond_search.hpp"
#include "companion/cell_forms.hpp"
#include "companion/cif_file.hpp"
#include "companion/expansion.hpp"
#include "companion/kind_plan.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

Crystal cubic(double a, const char* group, const std::vector<std::pair<const char*, Vector>>& sites) {
  SourceState state;
  state.file = group;
  state.cell = {a, a, a, 90.0, 90.0, 90.0};
  state.symmetry.name = group;
  for (const auto& [element, frac] : sites) state.atoms.push_back({element, element, frac});
  return expand(state);
}

Crystal from_cif(const char* name) { return expand(read_cif_file((kCif / name).string())); }

// What the rule chooses with the default kinds: the limit, and the range
// between the first shells' end and the next neighbours.
TEST(BondLimit, ChosenForEachFamilyOfStructures) {
  const struct {
    const char* name;
    Crystal crystal;
    double limit;
    double shell_end;     // to 0.01 A
    double next_start;
    bool overlap = false;  // the shells of some atoms overlap: a warning says so
  } cases[] = {
      // Silicates keep 2.2 A: it selects the same bonds.
      {"quartz", from_cif("quartz_Tucker2001_COD1526860.cif"), 2.2, 1.62, 2.62},
      {"kyanite", from_cif("kyanite_P0_Yang1997_AMCSD0001892.cif"), 2.2, 2.00, 2.76},
      // Oxide of the rock-salt type: Mg-O 2.11, Mg-Mg 2.98.
      {"periclase", cubic(4.212, "F m -3 m", {{"Mg", {0, 0, 0}}, {"O", {0.5, 0.5, 0.5}}}), 2.2, 2.11, 2.98},
      // Perovskites: A-O 2.76 (12-fold) and B-O 1.95 below the A-B 3.38.
      {"SrTiO3", cubic(3.905, "P m -3 m", {{"Sr", {0, 0, 0}}, {"Ti", {0.5, 0.5, 0.5}}, {"O", {0.5, 0.5, 0}}}), 3.07,
       2.76, 3.38},
      {"LaAlO3", cubic(3.79, "P m -3 m", {{"La", {0, 0, 0}}, {"Al", {0.5, 0.5, 0.5}}, {"O", {0.5, 0.5, 0}}}), 2.98,
       2.68, 3.28},
      // Fluorite: Ca-F 2.37 ends the first shell of F too, before F-F 2.73.
      {"CaF2", cubic(5.463, "F m -3 m", {{"Ca", {0, 0, 0}}, {"F", {0.25, 0.25, 0.25}}}), 2.55, 2.37, 2.73},
      // Metals: the twelve nearest of fcc, the eight of bcc.
      {"Cu", cubic(3.615, "F m -3 m", {{"Cu", {0, 0, 0}}}), 3.09, 2.56, 3.62},
      {"Fe", cubic(2.8665, "I m -3 m", {{"Fe", {0, 0, 0}}}), 2.67, 2.48, 2.87},
      // A framework with a cation in its cavities: Na of albite (kind 1,
      // five O out to 2.67 A, the next two at 2.96 A) beside the Al-O of
      // the framework.
      {"albite", from_cif("albite_P0_Downs1994_AMCSD0001683.cif"), 2.82, 2.67, 2.96},
      // Ca in the cage of lawsonite reaches its sixth O at 2.48 A; the D of
      // the hydroxyls lies 2.47 A from some Al: no limit separates the two
      // shells, so the limit reaches every first shell and says so.
      {"lawsonite", from_cif("lawsonite_175K_Meyer2001_COD9002547.cif"), 2.49, 2.48, 2.50, true},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> kinds = default_kind_symbols(c.crystal.atoms);
    const std::vector<std::string> names = atom_names(c.crystal.atoms, kinds);
    const BondLimitChoice choice = choose_bond_limit(c.crystal, names, kinds);
    EXPECT_NEAR(choice.limit, c.limit, 1e-9) << c.name;
    EXPECT_NEAR(choice.first_shell_end, c.shell_end, 0.005) << c.name;
    EXPECT_NEAR(choice.second_shell_start, c.next_start, 0.005) << c.name;
    EXPECT_GT(choice.limit, choice.first_shell_end) << c.name;
    EXPECT_LT(choice.limit, choice.second_shell_start) << c.name;
    EXPECT_EQ(choice.warning.empty(), !c.overlap) << c.name << ": " << choice.warning;
  }
}

// The conventional cell of a centred lattice from its primitive cell, by the
// matrix found from one pair of cells, applied to another primitive cell.
TEST(CellForms, CentringMatrixTurnsAPrimitiveCellFull) {
  const double r = 1.0 / std::sqrt(2.0);
  const struct {
    const char* name;
    Cell primitive;
    Cell full;
    Cell primitive_later;
    Cell full_later;
  } cases[] = {
      {"F cubic", {5.463 * r, 5.463 * r, 5.463 * r, 60, 60, 60}, {5.463, 5.463, 5.463, 90, 90, 90},
       {5.4012 * r, 5.4012 * r, 5.4012 * r, 60, 60, 60}, {5.4012, 5.4012, 5.4012, 90, 90, 90}},
      {"I cubic", {2.8665 * std::sqrt(3.0) / 2, 2.8665 * std::sqrt(3.0) / 2, 2.8665 * std::sqrt(3.0) / 2, 109.4712206,
                   109.4712206, 109.4712206},
       {2.8665, 2.8665, 2.8665, 90, 90, 90}, {2.5 * std::sqrt(3.0) / 2, 2.5 * std::sqrt(3.0) / 2,
                                              2.5 * std::sqrt(3.0) / 2, 109.4712206, 109.4712206, 109.4712206},
       {2.5, 2.5, 2.5, 90, 90, 90}},
      {"R hexagonal", {5.1295, 5.1295, 5.1295, 55.2915, 55.2915, 55.2915}, {4.7602, 4.7602, 12.9933, 90, 90, 120},
       {5.153232, 5.153232, 5.153232, 55.766661, 55.766661, 55.766661}, {4.820052, 4.820052, 13.011668, 90, 90, 120}},
  };
  for (const auto& c : cases) {
    const auto matrix = centring_matrix(c.primitive, c.full);
    ASSERT_TRUE(matrix.has_value()) << c.name;
    const Cell later = full_cell(c.primitive_later, *matrix);
    const double got[] = {later.a, later.b, later.c, later.alpha, later.beta, later.gamma};
    const double want[] = {c.full_later.a, c.full_later.b, c.full_later.c,
                           c.full_later.alpha, c.full_later.beta, c.full_later.gamma};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(got[k], want[k], 2e-4) << c.name << " " << k;
  }
  // Cells that no centring joins.
  EXPECT_FALSE(centring_matrix({5, 5, 5, 90, 90, 90}, {5, 5, 7, 90, 90, 90}).has_value());
}

}  // namespace
}  // namespace wsphere::companion::testing
