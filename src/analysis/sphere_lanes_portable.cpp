// The lane kernel for every processor of the target.
#include "analysis/sphere_lanes_body.hpp"

namespace wsphere {

void measure_chunk_portable(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                            const ChunkResults& out) {
  measure_all(k, c, in, out);
}

void sum_chunk_portable(const LaneConstants& k, const LaneCentre& c, const ListedCandidates& in,
                        LaneSums& sums) {
  sum_all(k, c, in, sums);
}

int find_near_portable(float keep_limit, const NearRuns& runs, int* near) {
  return near_runs(keep_limit, runs, near);
}

}  // namespace wsphere
