#include "analysis/kind_lists.hpp"

#include "structure/atom_kind.hpp"

namespace wsphere {

KindList kind_list(const AnalysisInput& input, const AnalysisResults& results, int kind) {
  KindList list;
  for (int k = 1; k <= input.atom_count; ++k) {
    const AtomName& name = input.names[results.atom_order(k) - 1];
    if (!belongs_to_kind(name, input.kind_symbols, input.kind_count, kind)) continue;
    list.places.push_back(k);
    list.w.push_back(results.w_values(k));
  }
  return list;
}

}  // namespace wsphere
