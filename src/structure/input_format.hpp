// What the reader of input.txt and the companion's writer of it share beyond
// the capacities of the structure state: the report switches in the order of
// their lines, and the word the writer puts after each.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "structure/structure_state.hpp"

namespace wsphere {

inline constexpr int kReportSwitchCount = 10;

inline constexpr std::array<std::string_view, kReportSwitchCount> kReportSwitchWords = {
    "initial-positions", "minimised-positions", "corrected-positions", "block-initial",
    "block-minimised",   "sphere-details",      "w-table",             "w-ordered",
    "w-by-kind",         "w-summary"};

// The switches of `state` in the order of their lines.
std::array<std::int32_t*, kReportSwitchCount> report_switches(StructureState& state);

}  // namespace wsphere
