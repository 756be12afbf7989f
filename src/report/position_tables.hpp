// The coordinate tables of the input: the initial positions, the minimised
// positions as read, and the minimised positions after their correction.
#pragma once

#include "structure/structure_state.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

enum class PositionTable { initial, minimised, corrected };

// Writes the title of `table` and one row per cell atom of `state`, with the
// given positions.
void write_position_table(textio::ReportWriter& report, PositionTable table,
                          const StructureState& state, const Positions<kCellCapacity>& positions);

}  // namespace wsphere
