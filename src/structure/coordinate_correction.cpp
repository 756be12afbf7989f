#include "structure/structure_state.hpp"

#include "core/single.hpp"

namespace wsphere {

float corrected_coordinate(float initial, float minimised) {
  const double moved = static_cast<double>(minimised) - static_cast<double>(initial);
  if (moved > 0.5) return round_to_single(static_cast<double>(minimised) - 1.0);
  if (moved < -0.5) return round_to_single(static_cast<double>(minimised) + 1.0);
  return minimised;
}

}  // namespace wsphere
