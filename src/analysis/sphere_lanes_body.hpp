// The body of the lane kernels, compiled once per instruction set (see
// sphere_lanes.hpp). Everything here has internal linkage, so that no copy
// built for a wider instruction set can stand in for a portable one.
#pragma once

#include "analysis/sphere_lanes.hpp"
#include "core/single.hpp"

namespace wsphere {
namespace {

typedef int Ints4 __attribute__((vector_size(16)));

inline Singles4 load4(const float* p) {
  Singles4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void store4(float* p, Singles4 v) { __builtin_memcpy(p, &v, sizeof v); }

inline Singles4 splat(float value) { return Singles4{value, value, value, value}; }

inline Singles4 absolute(Singles4 v) {
  return reinterpret_cast<Singles4>(reinterpret_cast<Ints4>(v) & 0x7fffffff);
}

inline Doubles4 widen(Singles4 v) { return __builtin_convertvector(v, Doubles4); }

// Square roots are correctly rounded in every precision: the single square
// root of a single equals the double one rounded to single.
inline Singles4 square_root(Singles4 v) {
  return Singles4{__builtin_sqrtf(v[0]), __builtin_sqrtf(v[1]), __builtin_sqrtf(v[2]),
                  __builtin_sqrtf(v[3])};
}

inline Doubles4 square_root(Doubles4 v) {
  return Doubles4{__builtin_sqrt(v[0]), __builtin_sqrt(v[1]), __builtin_sqrt(v[2]),
                  __builtin_sqrt(v[3])};
}

// The squared distance of fractional differences under a metric: each
// difference squared in single precision, then the six terms in double, left
// to right (as squared_distance).
inline Doubles4 squared_distance4(const double (&m)[6], Singles4 dx, Singles4 dy, Singles4 dz) {
  const Doubles4 x = widen(dx);
  const Doubles4 y = widen(dy);
  const Doubles4 z = widen(dz);
  const Doubles4 x2 = widen(dx * dx);
  const Doubles4 y2 = widen(dy * dy);
  const Doubles4 z2 = widen(dz * dz);
  return m[0] * x2 + m[1] * y2 + m[2] * z2 + (y * x) * m[3] + (z * x) * m[4] + (z * y) * m[5];
}

inline void measure_four(const LaneConstants& k, const LaneCentre& c, const CandidateChunk& in,
                         int n, const ChunkResults& out) {
  const Singles4 dx = load4(in.x + n) - c.x;
  const Singles4 dy = load4(in.y + n) - c.y;
  const Singles4 dz = load4(in.z + n) - c.z;
  const Singles4 tolerance = splat(1.0e-4f);  // kSelfTolerance
  const Ints4 self = (absolute(dz) < tolerance) & (absolute(dx) < tolerance) &
                     (absolute(dy) < tolerance);
  const Singles4 q0 = round_to_single(squared_distance4(k.initial_metric, dx, dy, dz));
  const Ints4 member = ~self & ~(q0 > k.sphere_radius_sq);
  const Singles4 initial_distance = square_root(q0);

  const Singles4 ex = load4(in.mx + n) - c.mx;
  const Singles4 ey = load4(in.my + n) - c.my;
  const Singles4 ez = load4(in.mz + n) - c.mz;
  const Doubles4 q1 = squared_distance4(k.minimised_metric, ex, ey, ez);
  const Singles4 minimised_distance = round_to_single(square_root(q1));
  const Ints4 domain_error =
      ~(q0 >= 0.0f) | ~__builtin_convertvector(q1 >= 0.0, Ints4);
  const Ints4 bonded = initial_distance <= k.bond_limit;
  const Ints4 flags = (member & kMember) | (member & bonded & kBonded) |
                      (member & domain_error & kMathError);
  store4(out.minimised_distance + n, minimised_distance);
  store4(out.distance_change + n, absolute(initial_distance - minimised_distance));
  for (int lane = 0; lane < 4; ++lane) out.flags[n + lane] = static_cast<std::uint8_t>(flags[lane]);
}

inline void measure_all(const LaneConstants& k, const LaneCentre& c, const CandidateChunk& in,
                        const ChunkResults& out) {
  for (int n = 0; n < in.count; n += 4) measure_four(k, c, in, n, out);
}

// The near images of a run, four at a time, written without a branch on the
// outcome; lanes past the end are never near.
inline int near_run(const double (&m)[6], double keep_limit, const NearRun& run, int* near) {
  int count = 0;
  for (int k = run.first; k < run.end; k += 4) {
    const Doubles4 dx = widen(load4(run.x + k)) + run.offset[0];
    const Doubles4 dy = widen(load4(run.y + k)) + run.offset[1];
    const Doubles4 dz = widen(load4(run.z + k)) + run.offset[2];
    const Doubles4 q = m[0] * dx * dx + m[1] * dy * dy + m[2] * dz * dz + m[3] * dx * dy +
                       m[4] * dx * dz + m[5] * dy * dz;
    const auto inside = q <= keep_limit;
    const int lanes = run.end - k < 4 ? run.end - k : 4;
    for (int lane = 0; lane < 4; ++lane) {
      near[count] = run.block_base[k + lane] + run.image;
      count += static_cast<int>(inside[lane] & 1) & static_cast<int>(lane < lanes);
    }
  }
  return count;
}

}  // namespace
}  // namespace wsphere
