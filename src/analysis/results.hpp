// Per-atom results of the analysis, indexed by cell atom.
#pragma once

#include <cstdint>

#include "driver/checked_array.hpp"
#include "structure/structure_state.hpp"

namespace wsphere {

struct AnalysisResults {
  // W of each cell atom; after the ordering, entry k holds the k-th smallest W.
  CheckedArray<float, kCellCapacity> w_values;
  // Compliance in percent; 0.0 for atoms outside the first two kinds.
  CheckedArray<float, kCellCapacity> compliance;
  // Cell atom whose W stands at the same place of w_values.
  CheckedArray<std::int32_t, kCellCapacity> atom_order;
};

}  // namespace wsphere
