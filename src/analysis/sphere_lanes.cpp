#include "analysis/sphere_lanes.hpp"

namespace wsphere {

bool avx2_lanes_available() {
#if defined(WSPHERE_AVX2_LANES) && defined(__GNUC__) && defined(__x86_64__)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

LaneKernels lane_kernels() {
  static const LaneKernels chosen = avx2_lanes_available() ? kAvx2Lanes : kPortableLanes;
  return chosen;
}

}  // namespace wsphere
