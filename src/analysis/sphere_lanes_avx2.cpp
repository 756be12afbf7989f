// The lane kernel for x86-64 processors with AVX2, chosen at run time: this file
// alone is built with -mavx2 (and without fused multiply-add). Elsewhere it
// holds a stand-in that is never chosen.
#include "analysis/sphere_lanes_body.hpp"

namespace wsphere {

#if defined(WSPHERE_AVX2_LANES)

void measure_chunk_avx2(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                        const ChunkResults& out) {
  measure_all(k, c, in, out);
}

void sum_chunk_avx2(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                    LaneSums& sums) {
  sum_all(k, c, in, sums);
}

int find_near_avx2(float keep_limit, const NearRuns& runs, int* near) {
  return near_runs(keep_limit, runs, near);
}

#else

void sum_chunk_avx2(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                    LaneSums& sums) {
  sum_chunk_portable(k, c, in, sums);
}

int find_near_avx2(float keep_limit, const NearRuns& runs, int* near) {
  return find_near_portable(keep_limit, runs, near);
}

void measure_chunk_avx2(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                        const ChunkResults& out) {
  measure_chunk_portable(k, c, in, out);
}

#endif

}  // namespace wsphere
