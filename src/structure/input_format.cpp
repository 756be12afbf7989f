#include "structure/input_format.hpp"

namespace wsphere {

std::array<std::int32_t*, kReportSwitchCount> report_switches(StructureState& state) {
  return {&state.print_initial_positions, &state.print_minimised_positions,
          &state.print_corrected_positions, &state.print_block_initial,
          &state.print_block_minimised,     &state.print_sphere_details,
          &state.print_w_table,             &state.print_w_ordered,
          &state.print_w_by_kind,           &state.print_w_summary};
}

}  // namespace wsphere
