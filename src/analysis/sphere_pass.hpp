// The sphere pass of one centre atom: every block atom within the sphere radius
// of the centre in the initial structure is a member; for each member the
// distance to the centre is measured in both structures.
#pragma once

#include <cmath>
#include <cstdint>

#include "analysis/analysis_input.hpp"
#include "analysis/block.hpp"
#include "analysis/metric.hpp"
#include "core/single.hpp"

namespace wsphere {

// Values fixed for the whole analysis.
struct SphereSetup {
  float sphere_radius_sq = 0.0f;
  float bond_limit = 0.0f;
  CellMetric initial_metric;
  CellMetric minimised_metric;
};

SphereSetup sphere_setup(const AnalysisInput& input);

// The sums of one centre's pass.
struct CentreSums {
  std::int32_t member_count = 0;
  float change_sq_sum = 0.0f;
  std::int32_t bond_count = 0;  // members whose initial distance is within the bond limit
  float bond_sum = 0.0f;        // sum of their minimised distances
};

struct SphereMember {
  int block_atom = 0;
  float minimised_distance = 0.0f;
  float distance_change = 0.0f;
};

// Adds a member to its centre's sums, in block order: a bonded member's
// minimised distance to the bond sum, then on_member(member), then the square
// of its change to the sum of squares.
template <class OnMember>
void add_member_to_sums(const SphereMember& member, bool bonded, CentreSums& sums,
                        OnMember& on_member) {
  if (bonded) {
    sums.bond_sum = round_to_single(static_cast<double>(sums.bond_sum) + member.minimised_distance);
    sums.bond_count += 1;
  }
  on_member(member);
  sums.member_count += 1;
  const float change_sq =
      round_to_single(static_cast<double>(member.distance_change) * member.distance_change);
  sums.change_sq_sum = round_to_single(static_cast<double>(sums.change_sq_sum) + change_sq);
}

// Candidates closer than this in every fractional coordinate stand on the
// centre's own position and are not members.
inline constexpr float kSelfTolerance = 1.0e-4f;

// One centre's view of the block. A block atom's coordinates are made from
// its cell atom's when the atom is tested, with the same rounding as the
// block's own (shifted_coordinate), so the pass needs no block in memory.
class CentreView {
 public:
  // `centre` is 1-based.
  CentreView(const SphereSetup& setup, const AnalysisInput& input, int centre)
      : setup_(setup),
        initial_(input.initial),
        minimised_(input.minimised),
        initial_centre_(position_of(input.initial, centre - 1)),
        minimised_centre_(position_of(input.minimised, centre - 1)) {}

  // Tests candidate j (0-based block index) and, when it is a member, adds it
  // to `sums` after calling on_member(const SphereMember&).
  template <class OnMember>
  void visit(int j, CentreSums& sums, OnMember& on_member) const {
    const int atom = j / kImagesPerAtom;
    const ImageShifts shift = image_shifts(j - atom * kImagesPerAtom);
    const Difference d = difference(initial_, atom, shift, initial_centre_);
    if (std::fabs(d.z) < kSelfTolerance && std::fabs(d.x) < kSelfTolerance &&
        std::fabs(d.y) < kSelfTolerance) {
      return;
    }
    const float q0 = round_to_single(squared_distance(setup_.initial_metric, d.x, d.y, d.z));
    if (q0 > setup_.sphere_radius_sq) return;
    add_member(j, atom, shift, q0, sums, on_member);
  }

 private:
  template <class OnMember>
  void add_member(int j, int atom, ImageShifts shift, float q0, CentreSums& sums,
                  OnMember& on_member) const {
    const float initial_distance = round_to_single(checked_sqrt(q0));
    const Difference e = difference(minimised_, atom, shift, minimised_centre_);
    const float minimised_distance =
        round_to_single(checked_sqrt(squared_distance(setup_.minimised_metric, e.x, e.y, e.z)));
    const float distance_change = round_to_single(
        std::fabs(static_cast<double>(initial_distance) - minimised_distance));
    add_member_to_sums(SphereMember{j + 1, minimised_distance, distance_change},
                       initial_distance <= setup_.bond_limit, sums, on_member);
  }

  // A fractional difference, or a position, along x, y and z.
  struct Difference {
    float x, y, z;
  };

  static Difference position_of(const PositionsView& p, int atom) {
    return {p.x[atom], p.y[atom], p.z[atom]};
  }

  // Block atom `atom` + `shift` of one position set minus the centre's
  // position in that set, each axis rounded to single.
  static Difference difference(const PositionsView& p, int atom, ImageShifts shift,
                               const Difference& centre) {
    const auto along = [](float coordinate, int whole_cells, float from) {
      return round_to_single(static_cast<double>(shifted_coordinate(coordinate, whole_cells)) - from);
    };
    return {along(p.x[atom], shift.a, centre.x), along(p.y[atom], shift.b, centre.y),
            along(p.z[atom], shift.c, centre.z)};
  }

  const SphereSetup& setup_;
  PositionsView initial_;
  PositionsView minimised_;
  Difference initial_centre_;
  Difference minimised_centre_;
};

// The reference pass of cell atom `centre` (1-based): every block atom is a
// candidate, in block order; on_member(const SphereMember&) is called for
// every member before it is added to the sums.
template <class OnMember>
CentreSums centre_pass(const SphereSetup& setup, const AnalysisInput& input, int centre,
                       OnMember&& on_member) {
  const CentreView view(setup, input, centre);
  const int count = kImagesPerAtom * input.atom_count;
  CentreSums sums;
  for (int j = 0; j < count; ++j) view.visit(j, sums, on_member);
  return sums;
}

}  // namespace wsphere
