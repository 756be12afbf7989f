// The sphere pass of one centre atom: every block atom within the sphere radius
// of the centre in the initial structure is a member; for each member the
// distance to the centre is measured in both structures.
#pragma once

#include <cmath>
#include <cstdint>

#include "analysis/block.hpp"
#include "analysis/metric.hpp"
#include "structure/structure_state.hpp"

namespace wsphere {

// Values fixed for the whole analysis.
struct SphereSetup {
  float sphere_radius_sq = 0.0f;
  float bond_limit = 0.0f;
  CellMetric initial_metric;
  CellMetric minimised_metric;
};

SphereSetup sphere_setup(const StructureState& state);

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

// Candidates closer than this in every fractional coordinate stand on the
// centre's own position and are not members.
inline constexpr float kSelfTolerance = 1.0e-4f;

// Runs the pass of cell atom `centre` over block atoms 1 .. 27 x cell_atom_count
// in block order and calls on_member(const SphereMember&) for every member
// before it is added to the sums.
template <class OnMember>
CentreSums centre_pass(const SphereSetup& setup, const StructureState& state, const Block& block,
                       int centre, OnMember&& on_member) {
  const float cx = state.initial_positions.x(centre);
  const float cy = state.initial_positions.y(centre);
  const float cz = state.initial_positions.z(centre);
  const float mx = state.minimised_positions.x(centre);
  const float my = state.minimised_positions.y(centre);
  const float mz = state.minimised_positions.z(centre);

  const int count = kImagesPerAtom * state.cell_atom_count;
  if (count > 0) CheckedArray<float, kBlockCapacity>::check(count);  // bounds of the whole loop, once
  const float* ix = block.block_initial_positions.x.data();
  const float* iy = block.block_initial_positions.y.data();
  const float* iz = block.block_initial_positions.z.data();

  CentreSums sums;
  for (int j = 0; j < count; ++j) {
    const float dx = static_cast<float>(static_cast<double>(ix[j]) - cx);
    const float dy = static_cast<float>(static_cast<double>(iy[j]) - cy);
    const float dz = static_cast<float>(static_cast<double>(iz[j]) - cz);
    if (std::fabs(dz) < kSelfTolerance && std::fabs(dx) < kSelfTolerance &&
        std::fabs(dy) < kSelfTolerance) {
      continue;
    }
    const float q0 = static_cast<float>(squared_distance(setup.initial_metric, dx, dy, dz));
    if (q0 > setup.sphere_radius_sq) continue;

    const int atom = j + 1;
    const float initial_distance = static_cast<float>(checked_sqrt(q0));
    const float ex = static_cast<float>(
        static_cast<double>(block.block_minimised_positions.x(atom)) - mx);
    const float ey = static_cast<float>(
        static_cast<double>(block.block_minimised_positions.y(atom)) - my);
    const float ez = static_cast<float>(
        static_cast<double>(block.block_minimised_positions.z(atom)) - mz);
    const float minimised_distance =
        static_cast<float>(checked_sqrt(squared_distance(setup.minimised_metric, ex, ey, ez)));
    const float distance_change = static_cast<float>(
        std::fabs(static_cast<double>(initial_distance) - minimised_distance));
    if (initial_distance <= setup.bond_limit) {
      sums.bond_sum = static_cast<float>(static_cast<double>(sums.bond_sum) + minimised_distance);
      sums.bond_count += 1;
    }
    on_member(SphereMember{atom, minimised_distance, distance_change});
    sums.member_count += 1;
    const float change_sq = static_cast<float>(static_cast<double>(distance_change) * distance_change);
    sums.change_sq_sum = static_cast<float>(static_cast<double>(sums.change_sq_sum) + change_sq);
  }
  return sums;
}

}  // namespace wsphere
