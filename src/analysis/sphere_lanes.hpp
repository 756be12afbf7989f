// The sphere test and the member measurements of many candidates at once, four
// lanes at a time, with or without the sums of a centre; and the near test
// that picks those candidates, eight at a time. A candidate is a block atom:
// its initial and minimised block coordinates. Every value equals the one the
// one-at-a-time pass (CentreView) computes, bit for bit: single-precision
// operations give the correctly rounded results that the pass gets by
// computing in double and rounding, the sums of the squared distances are
// carried in double, left to right, and rounded as there, and the members
// are added to the sums in block order.
#pragma once

#include <cstdint>

namespace wsphere {

// What stays the same for a whole analysis: the metric coefficients (as
// doubles of their single values), the squared sphere radius and the bond limit.
struct LaneConstants {
  double initial_metric[6] = {};    // aa, bb, cc, ab, ac, bc
  double minimised_metric[6] = {};
  float sphere_radius_sq = 0.0f;
  float bond_limit = 0.0f;
};

// The centre atom's positions.
struct LaneCentre {
  float x = 0.0f, y = 0.0f, z = 0.0f;     // initial
  float mx = 0.0f, my = 0.0f, mz = 0.0f;  // minimised
};

// A candidate's slot: kImageSlots x its cell atom (0-based) + its image
// (0 .. 26), so that ascending slots are ascending block atoms and a slot
// splits without a division.
inline constexpr int kImageSlotBits = 5;
inline constexpr int kImageSlots = 1 << kImageSlotBits;

// Candidates given by their slots, ascending. A candidate's coordinates are
// the single sums of its cell atom's and its image's whole-cell shifts (the
// block's own rounding). Eight values per cell atom and per image: x, y, z,
// then the minimised x, y, z, then two zeros. `slot` readable up to count
// rounded up to a multiple of four; entries past count are never measured.
struct ListedCandidates {
  const float* atom_position;
  const float* image_shift;
  const int* slot;
  int count;
};

// Per candidate: kMember when it lies within the sphere and is not the centre
// itself; for a member also kBonded (initial distance within the bond limit)
// and kMathError (a square root of a negative number or of a not-a-number:
// the run ends there), and its minimised distance and distance change.
inline constexpr std::uint8_t kMember = 1;
inline constexpr std::uint8_t kBonded = 2;
inline constexpr std::uint8_t kMathError = 4;

// Each array writable up to count rounded up to a multiple of four.
struct ChunkResults {
  std::uint8_t* flags;
  float* minimised_distance;
  float* distance_change;
};

// The near test of runs of a grid's cell atoms, in Cartesian coordinates and
// single precision: image `image` of binned atom k of a run (first <= k < end)
// is near when the squared length of its position plus the run's `offset` is
// at most the keep limit. Slot of that image: slot_base[k] + image.
// Positions and slot_base readable to end rounded up to a multiple of eight
// past first.
struct NearRun {
  int first;
  int end;
  int image;
  float offset[3];  // the image's shift minus the centre
};

struct NearRuns {
  const float* x;
  const float* y;
  const float* z;
  const int* slot_base;
  const NearRun* runs;
  int count;
};

// The sums of a centre's members, and every flag seen among them.
struct LaneSums {
  std::int32_t member_count = 0;
  float change_sq_sum = 0.0f;
  std::int32_t bond_count = 0;
  float bond_sum = 0.0f;
  std::uint8_t flags_seen = 0;
};

using MeasureChunk = void (*)(const LaneConstants&, const LaneCentre&, const ListedCandidates&,
                              const ChunkResults&);
// Measures the candidates and adds their members to the sums in order, as
// add_member_to_sums adds them one at a time.
using SumChunk = void (*)(const LaneConstants&, const LaneCentre&, const ListedCandidates&,
                          LaneSums&);
// Writes the slots of the near images to `near` (room for the atoms of all
// runs + 8 entries), in run order, and returns their count.
using FindNear = int (*)(float keep_limit, const NearRuns&, int* near);

// The same computation built for any x86-64 (or other) processor, and for
// processors with AVX2; both give identical bits.
void measure_chunk_portable(const LaneConstants&, const LaneCentre&, const ListedCandidates&,
                            const ChunkResults&);
void measure_chunk_avx2(const LaneConstants&, const LaneCentre&, const ListedCandidates&,
                        const ChunkResults&);
void sum_chunk_portable(const LaneConstants&, const LaneCentre&, const ListedCandidates&,
                        LaneSums&);
void sum_chunk_avx2(const LaneConstants&, const LaneCentre&, const ListedCandidates&, LaneSums&);
int find_near_portable(float keep_limit, const NearRuns&, int* near);
int find_near_avx2(float keep_limit, const NearRuns&, int* near);
// Whether this processor runs measure_chunk_avx2 (false where it is not built).
bool avx2_lanes_available();

// The kernels of one build, as the sphere filter takes them.
struct LaneKernels {
  MeasureChunk measure;
  SumChunk sum;
  FindNear find_near;
};

inline constexpr LaneKernels kPortableLanes{&measure_chunk_portable, &sum_chunk_portable,
                                            &find_near_portable};
inline constexpr LaneKernels kAvx2Lanes{&measure_chunk_avx2, &sum_chunk_avx2, &find_near_avx2};

// The fastest of them that this processor runs, chosen once.
LaneKernels lane_kernels();

}  // namespace wsphere
