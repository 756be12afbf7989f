// The filtered sphere pass against the full scan: on many random structures,
// oblique cells, radii on member boundaries and atoms on cell faces, both must
// find the same members in the same order with bit-identical values and sums,
// and end in the same math error where the full scan does.
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/analyse_spheres.hpp"
#include "analysis/sphere_filter.hpp"
#include "core/condition.hpp"

namespace wsphere {
namespace {

// Everything a pass hands on, as bits: equal records give equal reports.
struct Record {
  std::vector<std::uint32_t> members;  // block atom, minimised distance, change
  std::uint32_t sums[4] = {0, 0, 0, 0};
  bool math_error = false;
  bool operator==(const Record&) const = default;
};

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

template <class Pass>
Record record(Pass&& pass) {
  Record r;
  const auto on_member = [&](const SphereMember& m) {
    r.members.insert(r.members.end(), {static_cast<std::uint32_t>(m.block_atom),
                                       bits(m.minimised_distance), bits(m.distance_change)});
  };
  try {
    const CentreSums s = pass(on_member);
    r.sums[0] = static_cast<std::uint32_t>(s.member_count);
    r.sums[1] = bits(s.change_sq_sum);
    r.sums[2] = static_cast<std::uint32_t>(s.bond_count);
    r.sums[3] = bits(s.bond_sum);
  } catch (const MathDomainError&) {
    r.math_error = true;
  }
  return r;
}

struct Structure {
  StructureState state;
  Block block;
};

// Compares every centre of `s`; returns whether the filter was in use.
bool expect_same_passes(const Structure& s, double max_box_share,
                        LaneKernels lanes = lane_kernels()) {
  const AnalysisInput input = analysis_input(s.state);
  const SphereSetup setup = sphere_setup(input);
  SphereFilter filter(setup, input, max_box_share, lanes);
  for (int i = 1; i <= s.state.cell_atom_count; ++i) {
    const Record full = record([&](auto& on) { return centre_pass(setup, input, i, on); });
    const Record filtered =
        record([&](auto& on) { return filtered_centre_pass(setup, filter, input, i, on); });
    EXPECT_EQ(full, filtered) << "centre " << i << ", radius " << s.state.sphere_radius;
    if (full != filtered) break;
    if (!filter.usable()) continue;
    // Without the members, the sums alone.
    Record sums_only = record([&](auto&) { return filter.sums(i); });
    Record full_sums = full;
    full_sums.members.clear();
    EXPECT_EQ(full_sums, sums_only) << "sums of centre " << i;
    if (full_sums != sums_only) break;
  }
  return filter.usable();
}

class RandomStructures {
 public:
  explicit RandomStructures(unsigned seed) : engine_(seed) {}

  std::unique_ptr<Structure> next() {
    auto s = std::make_unique<Structure>();
    StructureState& st = s->state;
    st.initial_cell = cell();
    st.minimised_cell = strained(st.initial_cell);
    st.cell_atom_count = static_cast<int>(uniform(1, 30));
    for (int i = 1; i <= st.cell_atom_count; ++i) place_atom(st, i);
    st.bond_limit = static_cast<float>(uniform(1.0, 3.0));
    st.sphere_radius = static_cast<float>(uniform(0.5, 9.0));
    build_block(analysis_input(st), s->block);
    return s;
  }

  // A radius whose square lands on the squared distance of some candidate of
  // centre 1, moved by `ulps` units in the last place.
  float boundary_radius(const Structure& s, int ulps) {
    const SphereSetup setup = sphere_setup(analysis_input(s.state));
    const int count = kImagesPerAtom * s.state.cell_atom_count;
    const int j = static_cast<int>(uniform(1, count));
    const auto& p = s.block.block_initial_positions;
    const auto& c = s.state.initial_positions;
    const auto diff = [](float a, float b) { return static_cast<float>(static_cast<double>(a) - b); };
    const float q0 = static_cast<float>(squared_distance(setup.initial_metric, diff(p.x(j), c.x(1)),
                                                         diff(p.y(j), c.y(1)), diff(p.z(j), c.z(1))));
    float r = static_cast<float>(std::sqrt(static_cast<double>(q0)));
    for (; ulps > 0; --ulps) r = std::nextafter(r, std::numeric_limits<float>::infinity());
    for (; ulps < 0; ++ulps) r = std::nextafter(r, 0.0f);
    return r;
  }

 private:
  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(engine_);
  }
  int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }

  Cell cell() {
    switch (uniform(0, 3)) {
      case 0: {  // cubic
        const float a = static_cast<float>(uniform(2.0, 12.0));
        return {a, a, a, 90.0f, 90.0f, 90.0f};
      }
      case 1: {  // hexagonal
        const float a = static_cast<float>(uniform(2.0, 12.0));
        return {a, a, static_cast<float>(uniform(2.0, 15.0)), 90.0f, 90.0f, 120.0f};
      }
      default:  // triclinic, often strongly oblique
        return {static_cast<float>(uniform(2.0, 15.0)), static_cast<float>(uniform(2.0, 15.0)),
                static_cast<float>(uniform(2.0, 15.0)), static_cast<float>(uniform(55.0, 125.0)),
                static_cast<float>(uniform(55.0, 125.0)), static_cast<float>(uniform(55.0, 125.0))};
    }
  }

  Cell strained(const Cell& c) {
    const auto f = [&](float v) { return static_cast<float>(v * uniform(0.97, 1.03)); };
    return {f(c.a), f(c.b), f(c.c), f(c.alpha), f(c.beta), f(c.gamma)};
  }

  // Coordinates on faces (0, 1, 1/2), next to another atom, far outside the
  // cell (where block positions are rounded coarsely), or anywhere.
  float coordinate(float neighbour) {
    switch (uniform(0, 6)) {
      case 0: return 0.0f;
      case 1: return 1.0f;
      case 2: return 0.5f;
      case 3: return static_cast<float>(neighbour + uniform(-5.0e-5, 5.0e-5));
      case 4: return static_cast<float>(uniform(-900, 900) + uniform(0.0, 1.0));
      default: return static_cast<float>(uniform(0.0, 1.0));
    }
  }

  void place_atom(StructureState& st, int i) {
    const int other = i > 1 ? uniform(1, i - 1) : 1;
    auto& ini = st.initial_positions;
    auto& min = st.minimised_positions;
    ini.x(i) = coordinate(ini.x(other));
    ini.y(i) = coordinate(ini.y(other));
    ini.z(i) = coordinate(ini.z(other));
    const auto moved = [&](float v) { return static_cast<float>(v + uniform(-0.02, 0.02)); };
    min.x(i) = moved(ini.x(i));
    min.y(i) = moved(ini.y(i));
    min.z(i) = moved(ini.z(i));
    st.cell_atom_names(i) = {'O', static_cast<char>('0' + i % 10), ' ', ' ', ' ', ' '};
  }

  std::mt19937 engine_;
};

// Both builds of the lane kernel: the one for any processor and the AVX2 one
// (where this processor has AVX2; elsewhere the second run repeats the first).
class SphereLanes : public testing::TestWithParam<LaneKernels> {};

TEST_P(SphereLanes, RandomStructuresGiveTheFullScanPasses) {
  RandomStructures random(20260);
  int used = 0;
  constexpr int kStructures = 400;
  for (int n = 0; n < kStructures && !HasFailure(); ++n) {
    const auto s = random.next();
    if (expect_same_passes(*s, 1.0, GetParam())) ++used;
  }
  EXPECT_GT(used, kStructures * 9 / 10);  // the filter, not the fallback, was tested
}

// Radii on the squared distance of a candidate of centre 1, and one unit in
// the last place either side of it.
void expect_same_passes_on_boundaries(unsigned seed, int structures, LaneKernels lanes) {
  RandomStructures random(seed);
  for (int n = 0; n < structures && !::testing::Test::HasFailure(); ++n) {
    const auto s = random.next();
    for (int ulps : {-1, 0, 1}) {
      s->state.sphere_radius = random.boundary_radius(*s, ulps);
      expect_same_passes(*s, 1.0, lanes);
    }
  }
}

TEST_P(SphereLanes, RadiiOnMemberBoundariesGiveTheFullScanPasses) {
  expect_same_passes_on_boundaries(11, 100, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Builds, SphereLanes,
                         testing::Values(kPortableLanes,
                                         avx2_lanes_available() ? kAvx2Lanes : kPortableLanes));

TEST(SphereFilter, RadiiOnMemberBoundariesGiveTheFullScanPasses) {
  expect_same_passes_on_boundaries(7, 150, lane_kernels());
}

// Block positions are rounded to single precision: next to a power of two a
// shift by one cell moves a position by up to half a unit in its last place.
// With a sphere as small as that rounding, the members must still be found.
TEST(SphereFilter, ImagesRoundedAcrossAPowerOfTwoKeepTheirMembership) {
  for (int step = 1; step <= 8; ++step) {
    auto s = std::make_unique<Structure>();
    StructureState& st = s->state;
    st.initial_cell = st.minimised_cell = {10.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f};
    st.cell_atom_count = 2;
    st.bond_limit = 1.0f;
    const float ulp = std::nextafter(511.0f, 600.0f) - 511.0f;
    // Atom 2 sits just below 511; its image one cell up lands beyond 512 and
    // is rounded there, a few units from atom 1.
    const float positions[2] = {512.0f + 5.0f * 2.0f * ulp, 511.0f + step * ulp};
    for (int i = 1; i <= 2; ++i) {
      for (auto* p : {&st.initial_positions, &st.minimised_positions}) {
        p->x(i) = positions[i - 1];
        p->y(i) = 0.5f;
        p->z(i) = 0.5f;
      }
    }
    build_block(analysis_input(st), s->block);
    const float distance = static_cast<float>(
        (static_cast<double>(s->block.block_initial_positions.x(block_number(2, 1, 0, 0))) -
         positions[0]) * 10.0);
    for (int ulps = -2; ulps <= 2; ++ulps) {
      st.sphere_radius = std::fabs(distance);
      for (int k = 0; k < ulps; ++k) st.sphere_radius = std::nextafter(st.sphere_radius, 1.0f);
      for (int k = 0; k > ulps; --k) st.sphere_radius = std::nextafter(st.sphere_radius, 0.0f);
      EXPECT_TRUE(expect_same_passes(*s, 1.0));
    }
  }
}

TEST(SphereFilter, DefaultShareGivesTheFullScanPasses) {
  RandomStructures random(99);
  for (int n = 0; n < 100 && !HasFailure(); ++n) expect_same_passes(*random.next(), 0.5);
}

// A structure of `atoms` atoms spread along the body diagonal.
std::unique_ptr<Structure> diagonal(const Cell& cell, float radius, int atoms) {
  auto s = std::make_unique<Structure>();
  s->state.initial_cell = cell;
  s->state.minimised_cell = cell;
  s->state.sphere_radius = radius;
  s->state.bond_limit = 2.0f;
  s->state.cell_atom_count = atoms;
  for (int i = 1; i <= atoms; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(atoms + 1);
    for (auto* p : {&s->state.initial_positions, &s->state.minimised_positions}) {
      p->x(i) = t;
      p->y(i) = t * 0.5f;
      p->z(i) = 1.0f - t;
    }
  }
  build_block(analysis_input(s->state), s->block);
  return s;
}

TEST(SphereFilter, StandsAsideWhereItsAssumptionsFail) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const Cell cubic{10.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f};
  const struct {
    const char* what;
    Cell cell;
    float radius;
    bool usable;
  } cases[] = {
      {"ordinary cubic cell", cubic, 3.0f, true},
      {"angles no parallelepiped has", {10.0f, 10.0f, 10.0f, 130.0f, 130.0f, 130.0f}, 3.0f, false},
      {"flat cell", {10.0f, 10.0f, 10.0f, 120.0f, 120.0f, 120.0f}, 3.0f, false},
      {"needle-thin oblique cell", {10.0f, 10.0f, 10.0f, 89.0f, 91.0f, 179.9f}, 3.0f, false},
      {"zero edge", {0.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f}, 3.0f, false},
      {"NaN edge", {kNaN, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f}, 3.0f, false},
      {"infinite edge", {kInf, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f}, 3.0f, false},
      {"NaN radius", cubic, kNaN, false},
      {"infinite radius", cubic, kInf, false},
      {"radius of the whole block", cubic, 25.0f, false},
  };
  for (const auto& c : cases) {
    const auto s = diagonal(c.cell, c.radius, 20);
    const SphereFilter filter(sphere_setup(analysis_input(s->state)), analysis_input(s->state));
    EXPECT_EQ(filter.usable(), c.usable) << c.what;
    expect_same_passes(*s, 0.5);
  }
}

// An atom count below one (the input may give -1) leaves nothing to bin.
TEST(SphereFilter, StandsAsideWithoutAtoms) {
  for (const int count : {0, -1, -1000}) {
    const auto s = diagonal({10.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f}, 3.0f, 20);
    s->state.cell_atom_count = count;
    const SphereFilter filter(sphere_setup(analysis_input(s->state)), analysis_input(s->state));
    EXPECT_FALSE(filter.usable()) << count;
  }
}

TEST(SphereFilter, StandsAsideForPositionsItCannotBin) {
  for (const float bad : {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(), 5000.0f}) {
    const auto s = diagonal({10.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f}, 3.0f, 20);
    s->state.initial_positions.y(7) = bad;
    build_block(analysis_input(s->state), s->block);
    const SphereFilter filter(sphere_setup(analysis_input(s->state)), analysis_input(s->state));
    EXPECT_FALSE(filter.usable()) << bad;
    expect_same_passes(*s, 0.5);
  }
}

TEST(SphereFilter, CellThatNoParallelepipedHasStillEndsInTheMathError) {
  const auto s = diagonal({10.0f, 10.0f, 10.0f, 150.0f, 150.0f, 150.0f}, 4.0f, 20);
  const Record filtered = record([&](auto& on) {
    const SphereSetup setup = sphere_setup(analysis_input(s->state));
    SphereFilter filter(setup, analysis_input(s->state));
    return filtered_centre_pass(setup, filter, analysis_input(s->state), 1, on);
  });
  EXPECT_TRUE(filtered.math_error);
}

TEST(SphereFilter, FaceImagesOnTheBoundaryOfAUnitSphereAreMembers) {
  auto s = std::make_unique<Structure>();
  s->state.initial_cell = s->state.minimised_cell = {2.0f, 2.0f, 2.0f, 90.0f, 90.0f, 90.0f};
  s->state.sphere_radius = 2.0f;
  s->state.cell_atom_count = 1;
  build_block(analysis_input(s->state), s->block);
  const SphereSetup setup = sphere_setup(analysis_input(s->state));
  SphereFilter filter(setup, analysis_input(s->state), 1.0);
  ASSERT_TRUE(filter.usable());
  std::vector<int> members;
  filtered_centre_pass(setup, filter, analysis_input(s->state), 1,
                       [&](const SphereMember& m) { members.push_back(m.block_atom); });
  EXPECT_EQ(members, (std::vector<int>{5, 11, 13, 15, 17, 23}));
}

TEST(SphereFilter, ThousandAtomsLeaveFewCandidatesPerCentre) {
  const auto s = diagonal({30.0f, 30.0f, 30.0f, 90.0f, 90.0f, 90.0f}, 6.0f, 1000);
  const SphereSetup setup = sphere_setup(analysis_input(s->state));
  SphereFilter filter(setup, analysis_input(s->state));
  ASSERT_TRUE(filter.usable());
  for (int centre : {1, 500, 1000}) EXPECT_LT(filter.candidate_count(centre), 27000 / 20);
}

// Beyond the program's capacity: 12,000 atoms make block numbers past 2^18,
// so every level of the filter's marks is in use. Sampled centres give the
// full scan's passes; random atom order spreads each sphere over the block.
TEST(SphereFilter, LargeStructureGivesTheFullScanPasses) {
  constexpr int kAtoms = 12000;
  std::mt19937 engine(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> x(kAtoms), y(kAtoms), z(kAtoms);
  for (int i = 0; i < kAtoms; ++i) {
    x[i] = unit(engine);
    y[i] = unit(engine);
    z[i] = unit(engine);
  }
  const std::vector<AtomName> names(kAtoms, AtomName{'X', '1', ' ', ' ', ' ', ' '});
  AnalysisInput input;
  input.initial_cell = input.minimised_cell = {60.0f, 60.0f, 30.0f, 90.0f, 95.0f, 100.0f};
  input.sphere_radius = 4.0f;
  input.bond_limit = 2.0f;
  input.atom_count = kAtoms;
  input.names = names.data();
  input.initial = input.minimised = {x.data(), y.data(), z.data()};
  const SphereSetup setup = sphere_setup(input);
  SphereFilter filter(setup, input);
  ASSERT_TRUE(filter.usable());
  for (int centre : {1, 2, 4001, 9710, 11999, 12000}) {
    const Record full = record([&](auto& on) { return centre_pass(setup, input, centre, on); });
    const Record filtered =
        record([&](auto& on) { return filtered_centre_pass(setup, filter, input, centre, on); });
    EXPECT_EQ(full, filtered) << "centre " << centre;
    EXPECT_GT(full.sums[0], 10u) << "centre " << centre;
  }
}

// A pass whose member visit throws (a report that cannot be written, say)
// must leave no marks behind: the next centre gets its own members only.
// The atoms lie on a line through the cell, 1 to 1000 in order: the first
// atom's members are the atoms up to about 135, atom 200's
// those from about
// 67 to 333, so that their marks share words but not all bits.
TEST(SphereFilter, VisitThatThrowsLeavesNoMarks) {
  const auto s = diagonal({30.0f, 30.0f, 30.0f, 90.0f, 90.0f, 90.0f}, 6.0f, 1000);
  const AnalysisInput input = analysis_input(s->state);
  const SphereSetup setup = sphere_setup(input);
  SphereFilter filter(setup, input);
  ASSERT_TRUE(filter.usable());
  const auto pass_of = [&](int atom) {
    return record([&](auto& on) { return filter.pass(atom, on); });
  };
  const Record corner = pass_of(1);
  ASSERT_GT(corner.members.size(), 2u * 3u);
  const int others[] = {200, 500};
  std::vector<Record> clean;
  for (const int atom : others) clean.push_back(pass_of(atom));
  const std::size_t members = corner.members.size() / 3;
  for (const std::size_t visits : {std::size_t{1}, members / 2, members}) {
    std::size_t seen = 0;
    const auto throwing = [&](const SphereMember&) {
      if (++seen == visits) throw MathDomainError();
    };
    EXPECT_THROW(filter.pass(1, throwing), MathDomainError);
    for (std::size_t k = 0; k < clean.size(); ++k) {
      EXPECT_EQ(pass_of(others[k]), clean[k]) << "atom " << others[k] << " after " << visits;
    }
  }
}

}  // namespace
}  // namespace wsphere

namespace wsphere {
namespace {

std::atomic<int> g_polls{0};
struct PollStop {};

// Raises from the 300th poll on, whichever thread polls.
void stopping_poll() {
  if (++g_polls >= 300) throw PollStop{};
}

// Shares of the atoms handed to threads give the results of one thread, and
// an error in any thread reaches the caller.
TEST(SharedAnalysis, ThreadsGiveTheResultsOfOneAndPassOnTheirErrors) {
  auto s = diagonal({30.0f, 30.0f, 30.0f, 90.0f, 90.0f, 90.0f}, 6.0f, 1000);
  s->state.minimised_positions.x(7) += 0.01f;
  const AnalysisInput input = analysis_input(s->state);
  AnalysisResults one;
  analyse_spheres(input, one);
  for (int threads : {2, 5, kAllProcessors}) {
    AnalysisResults many;
    analyse_spheres(input, many, nullptr, no_interrupt_poll, threads);
    for (int i = 1; i <= input.atom_count; ++i) {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(many.w_values(i)),
                std::bit_cast<std::uint32_t>(one.w_values(i)))
          << "atom " << i << ", " << threads << " threads";
      ASSERT_EQ(many.member_count(i), one.member_count(i));
      ASSERT_EQ(many.bonded_count(i), one.bonded_count(i));
    }
  }
  AnalysisResults stopped;
  g_polls = 0;
  EXPECT_THROW(analyse_spheres(input, stopped, nullptr, stopping_poll, 2), PollStop);
  s->state.minimised_positions.x(900) = std::numeric_limits<float>::quiet_NaN();
  AnalysisResults failed;
  EXPECT_THROW(analyse_spheres(analysis_input(s->state), failed, nullptr, no_interrupt_poll, 3),
               MathDomainError);
}

}  // namespace
}  // namespace wsphere
