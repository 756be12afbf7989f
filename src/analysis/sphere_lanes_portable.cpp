// The lane kernel for every processor of the target.
#include "analysis/sphere_lanes_body.hpp"

namespace wsphere {

void measure_chunk_portable(const LaneConstants& k, const LaneCentre& c, const CandidateChunk& in,
                            const ChunkResults& out) {
  measure_all(k, c, in, out);
}

int find_near_portable(const double (&metric)[6], double keep_limit, const NearRun& run,
                       int* near) {
  return near_run(metric, keep_limit, run, near);
}

}  // namespace wsphere
