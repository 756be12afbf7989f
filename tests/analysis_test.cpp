// The analysis in memory: block numbering, cell metric, sphere membership,
// W, compliance, kind matching and kind statistics.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/atom_results.hpp"
#include "analysis/block.hpp"
#include "analysis/metric.hpp"
#include "analysis/sphere_pass.hpp"
#include "core/condition.hpp"
#include "structure/atom_kind.hpp"
#include "structure/coordinate_correction.hpp"

namespace wsphere {
namespace {

AtomName name_of(const char (&text)[7]) { return {text[0], text[1], text[2], text[3], text[4], text[5]}; }

TEST(CoordinateCorrection, MovesAtMostOneCellTowardTheInitialCoordinate) {
  const struct {
    float initial, minimised;
    double step;  // cell edges added to the minimised coordinate
  } cases[] = {
      {0.02f, 0.99f, -1.0},  // moved up across the face: -0.01
      {0.98f, 0.01f, +1.0},  // moved down across the face: 1.01
      {0.3f, 1.9f, -1.0},    // one step only: 0.9
      {0.25f, 0.75f, 0.0},   // exactly half a cell up: unchanged
      {0.75f, 0.25f, 0.0},   // exactly half a cell down: unchanged
      {0.4f, 0.45f, 0.0},
      {0.5f, -0.9f, +1.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(corrected_coordinate(c.initial, c.minimised),
              static_cast<float>(static_cast<double>(c.minimised) + c.step))
        << c.initial << " -> " << c.minimised;
  }
}

TEST(Block, NumbersImagesWithTheZShiftFastest) {
  EXPECT_EQ(block_number(1, -1, -1, -1), 1);
  EXPECT_EQ(block_number(1, -1, -1, 0), 2);
  EXPECT_EQ(block_number(1, -1, 0, -1), 4);
  EXPECT_EQ(block_number(1, 0, 0, 0), 14);
  EXPECT_EQ(block_number(1, 1, 1, 1), 27);
  EXPECT_EQ(block_number(2, 0, 0, 0), 41);
  EXPECT_EQ(block_number(1000, 0, 0, 0), 26987);
  EXPECT_EQ(block_number(1000, 1, 1, 1), 27000);
}

TEST(Block, ShiftsBothPositionSetsAlike) {
  StructureState state;
  state.cell_atom_count = 2;
  state.cell_atom_names(2) = name_of("O1    ");
  state.initial_positions.x(2) = 0.25f;
  state.minimised_positions.x(2) = 0.375f;
  state.minimised_positions.z(2) = 0.5f;
  Block block;
  build_block(analysis_input(state), block);
  for (int a = -1; a <= 1; ++a) {
    for (int b = -1; b <= 1; ++b) {
      for (int c = -1; c <= 1; ++c) {
        const int k = block_number(2, a, b, c);
        EXPECT_EQ(block.block_initial_positions.x(k), 0.25f + a);
        EXPECT_EQ(block.block_initial_positions.y(k), static_cast<float>(b));
        EXPECT_EQ(block.block_minimised_positions.x(k), 0.375f + a);
        EXPECT_EQ(block.block_minimised_positions.z(k), 0.5f + c);
        EXPECT_EQ(block.block_atom_names(k), state.cell_atom_names(2));
      }
    }
  }
}

TEST(CellMetric, RightAngleLeavesATinyCrossTerm) {
  const CellMetric metric = cell_metric({4.0f, 4.0f, 3.0f, 90.0f, 90.0f, 90.0f});
  EXPECT_EQ(metric.aa, 16.0f);
  EXPECT_EQ(metric.cc, 9.0f);
  EXPECT_NE(metric.ab, 0.0f);
  EXPECT_NEAR(metric.ab, 3.8937e-7, 1e-10);
  EXPECT_NEAR(metric.bc, 2.9203e-7, 1e-10);
}

TEST(CellMetric, HexagonalCellGivesTheObliqueDistance) {
  const CellMetric metric = cell_metric({2.0f, 2.0f, 5.0f, 90.0f, 90.0f, 120.0f});
  // (1, 1, 0) in a 120-degree cell of edge 2 is as long as one edge.
  EXPECT_NEAR(squared_distance(metric, 1.0f, 1.0f, 0.0f), 4.0, 1e-5);
  EXPECT_NEAR(squared_distance(metric, 1.0f, -1.0f, 0.0f), 12.0, 1e-5);
}

// Oblique cells: each coefficient is the single-precision value of its rule,
// with the doubled edge product rounded to single before the cosine. An
// optimiser that keeps that product in double changes the last bit of ac or bc
// in every cell below but the first row's ab.
TEST(CellMetric, ObliqueCellsGiveTheSingleOfEveryRoundedStep) {
  const struct {
    Cell cell;
    CellMetric expected;
  } cases[] = {
      {{9.3749f, 7.1f, 10.97f, 91.3f, 86.319f, 103.2f},
       {0x1.5f8e14p+6f, 0x1.9347aep+5f, 0x1.e15d16p+6f, -0x1.e661ccp+4f, 0x1.a691acp+3f, -0x1.c45d7ep+1f}},
      {{3.696f, 9.0892f, 3.4499f, 86.019f, 64.191f, 65.443f},
       {0x1.b52222p+3f, 0x1.4a7448p+6f, 0x1.7cdbap+3f, 0x1.bec46ep+4f, 0x1.63498p+3f, 0x1.16a6fap+2f}},
      {{8.0942f, 12.9222f, 4.4856f, 73.394f, 97.646f, 116.863f},
       {0x1.061076p+6f, 0x1.4df76ep+7f, 0x1.41ee02p+4f, -0x1.7a18c8p+6f, -0x1.352b5ep+3f, 0x1.090becp+5f}},
      {{11.1648f, 8.1311f, 6.7698f, 95.134f, 87.191f, 77.986f},
       {0x1.f29c6cp+6f, 0x1.08758ap+6f, 0x1.6ea43ep+5f, 0x1.2e577ap+5f, 0x1.da1faep+2f, -0x1.3b4064p+3f}},
      {{13.0796f, 14.3362f, 8.6892f, 99.849f, 63.64f, 102.09f},
       {0x1.5626e2p+7f, 0x1.9b0da2p+7f, 0x1.2e0242p+6f, -0x1.3a3104p+6f, 0x1.93b2bcp+6f, -0x1.54ed82p+5f}},
      {{3.2708f, 8.5403f, 5.0166f, 67.026f, 63.537f, 106.094f},
       {0x1.56571cp+3f, 0x1.23bf36p+6f, 0x1.92a912p+4f, -0x1.ef96fep+3f, 0x1.d3f58ep+3f, 0x1.0b8e8cp+5f}},
      {{7.3053f, 13.6103f, 14.4928f, 69.055f, 70.573f, 73.917f},
       {0x1.aaf076p+5f, 0x1.727b04p+7f, 0x1.a4151ep+7f, 0x1.b8b58p+5f, 0x1.19b708p+6f, 0x1.1a0c0cp+7f}},
  };
  for (const auto& c : cases) {
    const CellMetric m = cell_metric(c.cell);
    const Cell& p = c.cell;
    SCOPED_TRACE(::testing::Message() << p.a << " " << p.b << " " << p.c << " " << p.alpha << " "
                                      << p.beta << " " << p.gamma);
    EXPECT_EQ(m.aa, c.expected.aa);
    EXPECT_EQ(m.bb, c.expected.bb);
    EXPECT_EQ(m.cc, c.expected.cc);
    EXPECT_EQ(m.ab, c.expected.ab);
    EXPECT_EQ(m.ac, c.expected.ac);
    EXPECT_EQ(m.bc, c.expected.bc);
  }
}

// Two atoms in a triclinic cell that changes in the minimisation: the members
// of atom 1 within 7.5 and their distances, each the single of its rule.
TEST(SpherePass, ObliqueCellsGiveTheDistancesOfTheRoundedRules) {
  StructureState state;
  state.initial_cell = {9.3749f, 7.1f, 10.97f, 91.3f, 86.319f, 103.2f};
  state.minimised_cell = {9.4012f, 7.0876f, 10.9311f, 90.87f, 86.911f, 103.77f};
  state.sphere_radius = 7.5f;
  state.bond_limit = 3.5f;
  state.cell_atom_count = 2;
  const float initial[2][3] = {{0.646000028f, 0.444200009f, 0.565999985f},
                               {0.958999991f, 0.892099977f, 0.135600001f}};
  const float minimised[2][3] = {{0.657700002f, 0.449100018f, 0.547999978f},
                                 {0.953400016f, 0.881399989f, 0.118699998f}};
  for (int i = 1; i <= 2; ++i) {
    state.initial_positions.x(i) = initial[i - 1][0];
    state.initial_positions.y(i) = initial[i - 1][1];
    state.initial_positions.z(i) = initial[i - 1][2];
    state.minimised_positions.x(i) = minimised[i - 1][0];
    state.minimised_positions.y(i) = minimised[i - 1][1];
    state.minimised_positions.z(i) = minimised[i - 1][2];
  }
  Block block;
  build_block(analysis_input(state), block);
  const struct {
    int block_atom;
    float minimised_distance, distance_change;
  } expected[] = {
      {11, 0x1.c59b3ep+2f, 0x1.965p-7f}, {17, 0x1.c59b3ep+2f, 0x1.965p-7f},
      {38, 0x1.c14cbep+2f, 0x1.be66p-6f}, {41, 0x1.75cd8cp+2f, 0x1.0b87cp-3f},
      {42, 0x1.d3198p+2f, 0x1.d6d5p-4f},
  };
  std::vector<SphereMember> members;
  centre_pass(sphere_setup(analysis_input(state)), analysis_input(state), 1,
              [&](const SphereMember& m) { members.push_back(m); });
  ASSERT_EQ(members.size(), std::size(expected));
  for (std::size_t k = 0; k < members.size(); ++k) {
    EXPECT_EQ(members[k].block_atom, expected[k].block_atom);
    EXPECT_EQ(members[k].minimised_distance, expected[k].minimised_distance) << "member " << k;
    EXPECT_EQ(members[k].distance_change, expected[k].distance_change) << "member " << k;
  }
}

// One atom at the origin of a cubic cell of edge 2, sphere radius 2.
struct CubicCell {
  StructureState state;
  Block block;
  CubicCell() {
    state.initial_cell = state.minimised_cell = {2.0f, 2.0f, 2.0f, 90.0f, 90.0f, 90.0f};
    state.sphere_radius = 2.0f;
    state.bond_limit = 2.0f;
    state.cell_atom_count = 1;
    build_block(analysis_input(state), block);
  }
};

TEST(SpherePass, FindsExactlyTheSixFaceImagesOnTheBoundary) {
  CubicCell cell;
  std::vector<SphereMember> members;
  const CentreSums sums = centre_pass(sphere_setup(analysis_input(cell.state)), analysis_input(cell.state), 1,
                                      [&](const SphereMember& m) { members.push_back(m); });
  std::vector<int> numbers;
  for (const SphereMember& m : members) {
    numbers.push_back(m.block_atom);
    EXPECT_EQ(m.minimised_distance, 2.0f);
    EXPECT_EQ(m.distance_change, 0.0f);
  }
  EXPECT_EQ(numbers, (std::vector<int>{5, 11, 13, 15, 17, 23}));
  EXPECT_EQ(sums.member_count, 6);
  EXPECT_EQ(sums.bond_count, 6);  // initial distance equal to the bond limit is bonded
  EXPECT_EQ(sums.bond_sum, 12.0f);
  EXPECT_EQ(sums.change_sq_sum, 0.0f);
}

TEST(SpherePass, AtomsWithinTheSelfToleranceAreNotMembersOfEachOther) {
  CubicCell cell;
  cell.state.cell_atom_count = 2;
  cell.state.initial_positions.x(2) = cell.state.minimised_positions.x(2) = 0.00005f;
  cell.state.sphere_radius = 1.0f;
  build_block(analysis_input(cell.state), cell.block);
  int members = 0;
  centre_pass(sphere_setup(analysis_input(cell.state)), analysis_input(cell.state), 1, [&](const SphereMember&) { ++members; });
  EXPECT_EQ(members, 0);
}

TEST(SpherePass, ImpossibleCellAnglesEndInTheMathError) {
  CubicCell cell;
  cell.state.initial_cell = {2.0f, 2.0f, 2.0f, 10.0f, 170.0f, 10.0f};
  build_block(analysis_input(cell.state), cell.block);
  EXPECT_THROW(centre_pass(sphere_setup(analysis_input(cell.state)), analysis_input(cell.state), 1, [](const SphereMember&) {}),
               MathDomainError);
}

TEST(AtomResults, WAndComplianceFollowTheBondedMean) {
  EXPECT_EQ(compliance_scale(2.0f, 2.5f), -2.0f);
  EXPECT_EQ(compliance_percent(2.125f, 2.0f, -2.0f), 25.0f);
  EXPECT_EQ(compliance_percent(2.25f, 2.5f, -2.0f), 50.0f);
  EXPECT_TRUE(std::isinf(compliance_scale(1.5f, 1.5f)));
  EXPECT_EQ(w_value({4, 2.0f, 0, 0.0f}), 0.5f);
  EXPECT_TRUE(std::isnan(w_value({0, 0.0f, 0, 0.0f})));
  EXPECT_TRUE(std::isnan(mean_bond({3, 1.0f, 0, 0.0f})));
}

TEST(AtomResults, KindsMatchOnTwoCharactersOrOnTheLastKindsLetter) {
  const KindSymbol si{'S', 'i'};
  const KindSymbol o{'O', ' '};
  EXPECT_TRUE(has_symbol(name_of("Si1   "), si));
  EXPECT_FALSE(has_symbol(name_of("S1    "), si));
  EXPECT_FALSE(has_symbol(name_of("si1   "), si));
  EXPECT_FALSE(has_symbol(name_of("O1    "), o));  // one letter: needs a blank second
  EXPECT_TRUE(has_symbol(name_of("O     "), o));
  EXPECT_TRUE(has_last_symbol(name_of("O1    "), o));
  EXPECT_TRUE(has_last_symbol(name_of("Os2   "), o));
  EXPECT_FALSE(has_last_symbol(name_of("Si1   "), si));  // a two-letter last symbol takes nothing
}

TEST(KindStatistics, MeanAndSigmaOfAKind) {
  const float three[] = {1.0f, 2.0f, 3.0f};
  const KindStatistics s3 = kind_statistics(three, 3);
  EXPECT_EQ(s3.mean, 2.0f);
  EXPECT_EQ(s3.sigma, 1.0f);

  const float one[] = {0.25f};
  const KindStatistics s1 = kind_statistics(one, 1);
  EXPECT_EQ(s1.mean, 0.25f);
  EXPECT_TRUE(std::isnan(s1.sigma));

  const float with_nan[] = {1.0f, std::nanf("")};
  EXPECT_TRUE(std::isnan(kind_statistics(with_nan, 2).sigma));

  const KindStatistics none = kind_statistics(nullptr, 0);
  EXPECT_TRUE(std::isnan(none.mean));
  EXPECT_EQ(none.sigma, 0.0f);
  EXPECT_TRUE(std::signbit(none.sigma));
}

}  // namespace
}  // namespace wsphere
