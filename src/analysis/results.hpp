// Per-atom results of the analysis, indexed by cell atom from 1 and sized to
// the structure.
#pragma once

#include <cstdint>

#include "core/checked_vector.hpp"

namespace wsphere {

struct AnalysisResults {
  // W of each cell atom; after order_by_w, entry k holds the k-th smallest W.
  CheckedVector<float> w_values;
  // Compliance in percent; 0.0 for atoms outside the first two kinds.
  CheckedVector<float> compliance;
  // Cell atom whose W stands at the same place of w_values.
  CheckedVector<std::int32_t> atom_order;
  // Sphere members of each cell atom, and those within the bond limit.
  CheckedVector<std::int32_t> member_count;
  CheckedVector<std::int32_t> bonded_count;
};

}  // namespace wsphere
