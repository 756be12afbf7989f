// From the listed atoms to the full cell: symmetry images, wrapping, special
// positions, supercells.
#include <gtest/gtest.h>

#include <cmath>

#include "companion/expansion.hpp"
#include "companion/geometry.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

SourceState one_atom(const std::array<double, 3>& frac, const std::string& group) {
  SourceState state;
  state.file = "test";
  state.cell = {10.0, 10.0, 10.0, 90.0, 90.0, 90.0};
  state.atoms = {{"Na", "line 1", frac}};
  state.symmetry.name = group;
  return state;
}

TEST(Expansion, ImagesOnSpecialPositionsAreCountedOnce) {
  const struct {
    std::array<double, 3> frac;
    const char* group;
    std::size_t images;
  } cases[] = {
      {{0.1, 0.2, 0.3}, "P -1", 2},  {{0.0, 0.0, 0.0}, "P -1", 1},
      {{0.5, 0.0, 0.5}, "P -1", 1},  {{0.11, 0.23, 0.37}, "F m -3 m", 192},
      {{0.1, 0.2, 0.3}, "F m -3 m", 96},  // on a mirror plane: x + y = z after a centring
      {{0.0, 0.0, 0.0}, "F m -3 m", 4}, {{0.25, 0.25, 0.25}, "F m -3 m", 8},
      {{1.0 / 3, 2.0 / 3, 0.1}, "P 63/m m c", 4},
      {{0.3333, 0.6667, 0.1}, "P 63/m m c", 4},  // four decimals still fall on the 3-fold axis
      {{0.1, 0.2, 0.3}, "", 1},
      {{0.0, 0.0, 0.0}, "F M 3 M", 4},  // the older cubic notation
      {{0.11, 0.23, 0.37}, "P A 3", 24},
      {{0.11, 0.23, 0.37}, "P 21/C", 4},
      {{0.11, 0.23, 0.37}, "14", 4},
  };
  for (const auto& c : cases) {
    SourceState state = one_atom(c.frac, c.group);
    if (std::string(c.group).starts_with("P 63")) state.cell.gamma = 120.0;
    EXPECT_EQ(expand(state).atoms.size(), c.images) << c.group << " " << c.frac[0];
  }
}

TEST(Expansion, CoordinatesAreWrappedIntoTheCell) {
  const struct {
    double given;
    double wrapped;
  } cases[] = {{-0.25, 0.75}, {1.0, 0.0}, {2.125, 0.125}, {-1e-17, 0.0}, {0.0, 0.0}, {0.999, 0.999}};
  for (const auto& c : cases) {
    const Crystal crystal = expand(one_atom({c.given, 0.5, 0.5}, ""));
    EXPECT_DOUBLE_EQ(crystal.atoms[0].frac[0], c.wrapped) << c.given;
    EXPECT_LT(crystal.atoms[0].frac[0], 1.0);
  }
}

TEST(Expansion, OrderIsAtomByAtomThenOperationByOperation) {
  SourceState state = one_atom({0.1, 0.2, 0.3}, "P -1");
  state.atoms.push_back({"Cl", "line 2", {0.4, 0.0, 0.0}});
  const Crystal crystal = expand(state);
  ASSERT_EQ(crystal.atoms.size(), 4u);
  EXPECT_EQ(crystal.atoms[0].element + crystal.atoms[1].element + crystal.atoms[2].element +
                crystal.atoms[3].element,
            "NaNaClCl");
  EXPECT_DOUBLE_EQ(crystal.atoms[1].frac[0], 0.9);
  EXPECT_DOUBLE_EQ(crystal.atoms[3].frac[0], 0.6);
}

TEST(Expansion, SupercellRepeatsEachAtomInPlace) {
  Crystal crystal{"test", {4.0, 5.0, 6.0, 90.0, 95.0, 90.0},
                  {{"Na", "a", {0.5, 0.5, 0.5}}, {"Cl", "b", {0.0, 0.0, 0.0}}}};
  const Crystal bigger = replicate(crystal, {2, 1, 3});
  EXPECT_DOUBLE_EQ(bigger.cell.a, 8.0);
  EXPECT_DOUBLE_EQ(bigger.cell.b, 5.0);
  EXPECT_DOUBLE_EQ(bigger.cell.c, 18.0);
  EXPECT_DOUBLE_EQ(bigger.cell.beta, 95.0);
  ASSERT_EQ(bigger.atoms.size(), 12u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(bigger.atoms[i].element, i < 6 ? "Na" : "Cl");
  EXPECT_DOUBLE_EQ(bigger.atoms[5].frac[0], 0.75);
  EXPECT_DOUBLE_EQ(bigger.atoms[5].frac[2], 2.5 / 3.0);
  // Images keep the distances of the small cell: no two atoms closer than in it.
  const Metric metric(bigger.cell);
  for (std::size_t i = 0; i < 12; ++i) {
    for (std::size_t j = i + 1; j < 12; ++j) {
      const auto& p = bigger.atoms[i].frac;
      const auto& q = bigger.atoms[j].frac;
      EXPECT_GT(metric.periodic_length({p[0] - q[0], p[1] - q[1], p[2] - q[2]}), 3.0);
    }
  }
}

TEST(Geometry, WidthsAndCellChecks) {
  const Vector cubic = perpendicular_widths({4.0, 5.0, 6.0, 90.0, 90.0, 90.0});
  EXPECT_NEAR(cubic[0], 4.0, 1e-12);
  EXPECT_NEAR(cubic[2], 6.0, 1e-12);
  // Hexagonal: the width across a is a sin 60.
  const Vector hexagonal = perpendicular_widths({4.9, 4.9, 5.4, 90.0, 90.0, 120.0});
  EXPECT_NEAR(hexagonal[0], 4.9 * std::sqrt(3.0) / 2.0, 1e-9);
  EXPECT_NEAR(hexagonal[2], 5.4, 1e-9);
  for (const Cell& bad : {Cell{0, 5, 5, 90, 90, 90}, Cell{5, 5, 5, 90, 90, 180}, Cell{5, 5, 5, 10, 10, 100}}) {
    EXPECT_EQ(error_of([&] { Metric{bad}; }), "the cell parameters do not form a cell");
  }
}

}  // namespace
}  // namespace wsphere::companion::testing
