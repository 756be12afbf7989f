#include "analysis/analyse_spheres.hpp"

#include "analysis/atom_results.hpp"
#include "analysis/sort_by_w.hpp"
#include "analysis/sphere_filter.hpp"
#include "structure/atom_kind.hpp"

namespace wsphere {

namespace {

void size_results(AnalysisResults& results, int count) {
  results.w_values.assign(count);
  results.compliance.assign(count);
  results.atom_order.assign(count);
  results.member_count.assign(count);
  results.bonded_count.assign(count);
}

// W, and the compliance of an atom of the first two kinds (the second kind's
// value kept when both symbols match).
void store_atom_results(const AnalysisInput& input, int i, const CentreSums& sums, float scale,
                        AnalysisResults& results) {
  results.w_values(i) = w_value(sums);
  results.member_count(i) = sums.member_count;
  results.bonded_count(i) = sums.bond_count;
  const float bond_mean = mean_bond(sums);
  const AtomName& name = input.names[i - 1];
  for (int kind : {0, 1}) {
    if (has_symbol(name, input.compliance_symbols[kind])) {
      results.compliance(i) = compliance_percent(bond_mean, input.bond_reference[kind], scale);
    }
  }
}

}  // namespace

void analyse_spheres(const AnalysisInput& input, AnalysisResults& results,
                     SphereWatcher* watcher, InterruptPoll poll) {
  const SphereSetup setup = sphere_setup(input);
  const float scale = compliance_scale(input.bond_reference[0], input.bond_reference[1]);
  SphereFilter filter(setup, input);
  size_results(results, input.atom_count);
  for (int i = 1; i <= input.atom_count; ++i) {
    poll();
    results.atom_order(i) = i;
    if (watcher != nullptr) watcher->centre(i);
    const CentreSums sums =
        filtered_centre_pass(setup, filter, input, i, [&](const SphereMember& member) {
          if (watcher != nullptr) watcher->member(member);
        });
    store_atom_results(input, i, sums, scale, results);
  }
}

void order_by_w(AnalysisResults& results) {
  sort_by_w(results.w_values, results.w_values.size(), results.atom_order);
}

}  // namespace wsphere
