#include "analysis/sphere_lanes.hpp"

namespace wsphere {

bool avx2_lanes_available() {
#if defined(WSPHERE_AVX2_LANES) && defined(__GNUC__) && defined(__x86_64__)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

MeasureChunk measure_chunk() {
  static const MeasureChunk chosen =
      avx2_lanes_available() ? &measure_chunk_avx2 : &measure_chunk_portable;
  return chosen;
}

FindNear find_near() {
  static const FindNear chosen = avx2_lanes_available() ? &find_near_avx2 : &find_near_portable;
  return chosen;
}

}  // namespace wsphere
