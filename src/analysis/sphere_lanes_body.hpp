// The body of the lane kernels, compiled once per instruction set (see
// sphere_lanes.hpp). Everything here has internal linkage, so that no copy
// built for a wider instruction set can stand in for a portable one.
#pragma once

#include "analysis/sphere_lanes.hpp"
#include "core/single.hpp"

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Exact in every form. g++ 12 splits the generic conversion into two halves
// joined through memory; with AVX the one instruction is named.
inline Doubles4 widen(Singles4 v) {
#if defined(__AVX2__)
  return reinterpret_cast<Doubles4>(_mm256_cvtps_pd(reinterpret_cast<__m128>(v)));
#else
  return __builtin_convertvector(v, Doubles4);
#endif
}

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

// Candidates n .. n+3 of `in` as six columns: x, y, z, mx, my, mz. Each
// coordinate is the single sum of its cell atom's and its image's.
struct FourCandidates {
  Singles4 x, y, z, mx, my, mz;
};

template <int A, int B, int C, int D>
inline Singles4 pick(Singles4 low, Singles4 high) {
  return __builtin_shufflevector(low, high, A, B, C, D);
}

inline FourCandidates load_candidates(const ListedCandidates& in, int n) {
  Singles4 front[4];  // x, y, z, mx of each candidate
  Singles4 back[4];   // my, mz, 0, 0
  for (int lane = 0; lane < 4; ++lane) {
    const int slot = n + lane < in.count ? in.slot[n + lane] : 0;
    // Slots are not negative: the shift and the mask divide them.
    const float* position = in.atom_position + 8 * (slot >> kImageSlotBits);
    const float* shift = in.image_shift + 8 * (slot & (kImageSlots - 1));
    front[lane] = load4(position) + load4(shift);
    back[lane] = load4(position + 4) + load4(shift + 4);
  }
  const Singles4 xy01 = pick<0, 4, 1, 5>(front[0], front[1]);
  const Singles4 xy23 = pick<0, 4, 1, 5>(front[2], front[3]);
  const Singles4 zm01 = pick<2, 6, 3, 7>(front[0], front[1]);
  const Singles4 zm23 = pick<2, 6, 3, 7>(front[2], front[3]);
  const Singles4 yz01 = pick<0, 4, 1, 5>(back[0], back[1]);
  const Singles4 yz23 = pick<0, 4, 1, 5>(back[2], back[3]);
  return {pick<0, 1, 4, 5>(xy01, xy23), pick<2, 3, 6, 7>(xy01, xy23),
          pick<0, 1, 4, 5>(zm01, zm23), pick<2, 3, 6, 7>(zm01, zm23),
          pick<0, 1, 4, 5>(yz01, yz23), pick<2, 3, 6, 7>(yz01, yz23)};
}

// What the lanes find of four candidates.
struct FourMeasured {
  Ints4 flags;
  Singles4 minimised_distance;
  Singles4 distance_change;
};

inline FourMeasured measure_four(const LaneConstants& k, const LaneCentre& c,
                                 const ListedCandidates& in, int n) {
  const FourCandidates p = load_candidates(in, n);
  const Singles4 dx = p.x - c.x;
  const Singles4 dy = p.y - c.y;
  const Singles4 dz = p.z - c.z;
  const Singles4 tolerance = splat(1.0e-4f);  // kSelfTolerance
  const Ints4 self = (absolute(dz) < tolerance) & (absolute(dx) < tolerance) &
                     (absolute(dy) < tolerance);
  const Singles4 q0 = round_to_single(squared_distance4(k.initial_metric, dx, dy, dz));
  const Ints4 member = ~self & ~(q0 > k.sphere_radius_sq);
  const Singles4 initial_distance = square_root(q0);

  const Singles4 ex = p.mx - c.mx;
  const Singles4 ey = p.my - c.my;
  const Singles4 ez = p.mz - c.mz;
  const Doubles4 q1 = squared_distance4(k.minimised_metric, ex, ey, ez);
  const Singles4 minimised_distance = round_to_single(square_root(q1));
  // The root of a negative or not-a-number q1 is not a number, and only
  // theirs is: the test needs no narrowing of a double-width mask.
  const Ints4 domain_error = ~(q0 >= 0.0f) | (minimised_distance != minimised_distance);
  const Ints4 bonded = initial_distance <= k.bond_limit;
  const Ints4 flags = (member & kMember) | (member & bonded & kBonded) |
                      (member & domain_error & kMathError);
  return {flags, minimised_distance, absolute(initial_distance - minimised_distance)};
}

inline void measure_all(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                        const ChunkResults& out) {
  for (int n = 0; n < in.count; n += 4) {
    const FourMeasured m = measure_four(k, c, in, n);
    store4(out.minimised_distance + n, m.minimised_distance);
    store4(out.distance_change + n, m.distance_change);
    for (int lane = 0; lane < 4; ++lane) {
      out.flags[n + lane] = static_cast<std::uint8_t>(m.flags[lane]);
    }
  }
}

// How many of the four lanes of a mask are set.
inline int lanes_set(Ints4 mask) {
#if defined(__SSE2__)
  static constexpr int kSet[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
  return kSet[_mm_movemask_ps(reinterpret_cast<__m128>(mask))];
#else
  return -(mask[0] + mask[1] + mask[2] + mask[3]);
#endif
}

// `values` where `keep` is set, +0 elsewhere.
inline Singles4 kept_or_zero(Ints4 keep, Singles4 values) {
  return reinterpret_cast<Singles4>(reinterpret_cast<Ints4>(values) & keep);
}

// Adds the members among the candidates to `sums` in order, as the
// one-at-a-time pass does: each square and each sum rounded to single, which
// single-precision operations do exactly. Sums that start at +0 and grow by
// squares and distances are never -0, so adding +0 for the other candidates
// leaves them as they are; the additions thus need no branch, and the chains
// of additions overlap the measuring of the next candidates.
inline void sum_all(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                    LaneSums& sums) {
  const Ints4 lane_number = {0, 1, 2, 3};
  LaneSums s = sums;
  Ints4 seen = {};
  for (int n = 0; n < in.count; n += 4) {
    const FourMeasured m = measure_four(k, c, in, n);
    const Ints4 flags = m.flags & (lane_number < in.count - n);
    const Ints4 member = (flags & kMember) != 0;
    const Ints4 bonded = (flags & kBonded) != 0;
    seen |= flags;
    Singles4 squared_changes = m.distance_change * m.distance_change;
    pin(squared_changes);  // each square rounded to single, as stored
    const Singles4 squares = kept_or_zero(member, squared_changes);
    const Singles4 bonds = kept_or_zero(bonded, m.minimised_distance);
    for (int lane = 0; lane < 4; ++lane) {
      s.change_sq_sum = add_singles(s.change_sq_sum, squares[lane]);
      s.bond_sum = add_singles(s.bond_sum, bonds[lane]);
    }
    s.member_count += lanes_set(member);
    s.bond_count += lanes_set(bonded);
  }
  s.flags_seen |= static_cast<std::uint8_t>(seen[0] | seen[1] | seen[2] | seen[3]);
  sums = s;
}

typedef float Singles8 __attribute__((vector_size(32)));
typedef int Ints8 __attribute__((vector_size(32)));

inline Singles8 load8(const float* p) {
  Singles8 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline Ints8 load8(const int* p) {
  Ints8 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline Singles8 splat8(float value) { return Singles8{} + value; }

#if defined(__AVX2__)
// For each pattern of eight lanes, the lanes that are set, first to last, in
// the low bytes (the rest zero).
struct SetLanes {
  unsigned long long lanes[256];
  constexpr SetLanes() : lanes() {
    for (int mask = 0; mask < 256; ++mask) {
      unsigned long long packed = 0;
      int count = 0;
      for (int lane = 0; lane < 8; ++lane) {
        if ((mask >> lane) & 1) packed |= static_cast<unsigned long long>(lane) << (8 * count++);
      }
      lanes[mask] = packed;
    }
  }
};
inline constexpr SetLanes kSetLanes;

// Writes the values of the lanes set in `inside` to `out` from `count` on, in
// lane order; eight values are written, the count grows by the lanes set.
inline int compact(Ints8 inside, Ints8 values, int* out, int count) {
  const int mask = _mm256_movemask_ps(reinterpret_cast<__m256>(inside));
  const __m256i order = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(kSetLanes.lanes[mask])));
  const __m256i packed = _mm256_permutevar8x32_epi32(reinterpret_cast<__m256i>(values), order);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + count), packed);
  return count + __builtin_popcount(static_cast<unsigned>(mask));
}
#else
inline int compact(Ints8 inside, Ints8 values, int* out, int count) {
  for (int lane = 0; lane < 8; ++lane) {
    out[count] = values[lane];
    count += inside[lane] & 1;
  }
  return count;
}
#endif

// The near images of the runs, eight at a time, written without a branch on
// the outcome; lanes past the end of a run are never near. Every square is
// positive, so the single-precision sum carries no cancellation: its error is
// a few units in the last place of the coordinates, which the keep limit
// allows for.
inline int near_runs(float keep_limit, const NearRuns& in, int* near) {
  const Ints8 lane_number = {0, 1, 2, 3, 4, 5, 6, 7};
  int count = 0;
  for (int r = 0; r < in.count; ++r) {
    const NearRun& run = in.runs[r];
    const Singles8 ox = splat8(run.offset[0]);
    const Singles8 oy = splat8(run.offset[1]);
    const Singles8 oz = splat8(run.offset[2]);
    for (int k = run.first; k < run.end; k += 8) {
      const Singles8 dx = load8(in.x + k) + ox;
      const Singles8 dy = load8(in.y + k) + oy;
      const Singles8 dz = load8(in.z + k) + oz;
      const Singles8 q = dx * dx + dy * dy + dz * dz;
      const Ints8 inside = (q <= keep_limit) & (lane_number < run.end - k);
      count = compact(inside, load8(in.slot_base + k) + run.image, near, count);
    }
  }
  return count;
}

}  // namespace
}  // namespace wsphere
