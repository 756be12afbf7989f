// The atoms of one kind in the order of the W ordering, and their W values.
#pragma once

#include <vector>

#include "analysis/analysis_input.hpp"
#include "analysis/results.hpp"

namespace wsphere {

struct KindList {
  // The places k (1-based) in the ordered W values whose atoms belong to the
  // kind, ascending; the atom is atom_order(k), its W w_values(k).
  std::vector<int> places;
  std::vector<float> w;
};

// The list of kind `kind` (1 .. kind_count) after order_by_w: kinds before the
// last by their two-character rule, the last kind by its own.
KindList kind_list(const AnalysisInput& input, const AnalysisResults& results, int kind);

}  // namespace wsphere
