#include "structure/coordinate_correction.hpp"

#include "core/single.hpp"

namespace wsphere {

float corrected_coordinate(float initial, float minimised) {
  const double moved = static_cast<double>(minimised) - static_cast<double>(initial);
  if (moved > 0.5) return round_to_single(static_cast<double>(minimised) - 1.0);
  if (moved < -0.5) return round_to_single(static_cast<double>(minimised) + 1.0);
  return minimised;
}

void correct_minimised_positions(StructureState& state) {
  const Positions<kCellCapacity>& initial = state.initial_positions;
  Positions<kCellCapacity>& minimised = state.minimised_positions;
  for (int i = 1; i <= state.cell_atom_count; ++i) {
    minimised.x(i) = corrected_coordinate(initial.x(i), minimised.x(i));
    minimised.y(i) = corrected_coordinate(initial.y(i), minimised.y(i));
    minimised.z(i) = corrected_coordinate(initial.z(i), minimised.z(i));
  }
}

}  // namespace wsphere
