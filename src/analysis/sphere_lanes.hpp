// The sphere test and the member measurements of many candidates at once, four
// lanes at a time. A candidate is a block atom: its initial and minimised
// block coordinates, already shifted by whole cells. Every value equals the one
// the one-at-a-time pass (CentreView) computes, bit for bit: single-precision
// operations give the correctly rounded results that the pass gets by
// computing in double and rounding, and the sums of the squared distances are
// carried in double, left to right, and rounded as there.
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

// Candidates 0 .. count-1, one array per coordinate; every array readable up
// to count rounded up to a multiple of four.
struct CandidateChunk {
  const float* x;
  const float* y;
  const float* z;
  const float* mx;
  const float* my;
  const float* mz;
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

// The near test of a grid's run of cell atoms: image `image` of binned atoms
// first .. end-1 is near when its squared distance from the centre, measured
// in double precision with the metric `metric` (aa, bb, cc, ab, ac, bc), is at
// most `keep_limit`. Block index of binned atom k's image: block_base[k] +
// image. Positions and block_base readable to end rounded up to a multiple of
// four past first.
struct NearRun {
  const float* x;
  const float* y;
  const float* z;
  const int* block_base;
  int first;
  int end;
  int image;
  double offset[3];  // the image's shift minus the centre
};

using MeasureChunk = void (*)(const LaneConstants&, const LaneCentre&, const CandidateChunk&,
                              const ChunkResults&);
// Writes the block indices of the near images to `near` (room for end - first
// + 4 entries), in run order, and returns their count.
using FindNear = int (*)(const double (&metric)[6], double keep_limit, const NearRun&, int* near);

// The same computation built for any x86-64 (or other) processor, and for
// processors with AVX2; both give identical bits.
void measure_chunk_portable(const LaneConstants&, const LaneCentre&, const CandidateChunk&,
                            const ChunkResults&);
void measure_chunk_avx2(const LaneConstants&, const LaneCentre&, const CandidateChunk&,
                        const ChunkResults&);
int find_near_portable(const double (&metric)[6], double keep_limit, const NearRun&, int* near);
int find_near_avx2(const double (&metric)[6], double keep_limit, const NearRun&, int* near);
// Whether this processor runs measure_chunk_avx2 (false where it is not built).
bool avx2_lanes_available();

// The fastest of them that this processor runs, chosen once.
MeasureChunk measure_chunk();
FindNear find_near();

}  // namespace wsphere
