#include "analysis/analyse_spheres.hpp"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

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

// The pass of atom i, seen by `watcher` when there is one.
CentreSums centre_sums(const SphereSetup& setup, SphereFilter& filter, const AnalysisInput& input,
                       int i, SphereWatcher* watcher) {
  if (watcher == nullptr && filter.usable()) return filter.sums(i);
  return filtered_centre_pass(setup, filter, input, i, [&](const SphereMember& member) {
    if (watcher != nullptr) watcher->member(member);
  });
}

// The atoms first .. last (1-based) with a filter of their own.
void analyse_range(const AnalysisInput& input, const SphereSetup& setup, float scale, int first,
                   int last, AnalysisResults& results, SphereWatcher* watcher,
                   InterruptPoll poll) {
  SphereFilter filter(setup, input);
  for (int i = first; i <= last; ++i) {
    poll();
    results.atom_order(i) = i;
    if (watcher != nullptr) watcher->centre(i);
    const CentreSums sums = centre_sums(setup, filter, input, i, watcher);
    store_atom_results(input, i, sums, scale, results);
  }
}

// Below this many atoms a thread costs more than it saves.
constexpr int kLeastAtomsPerThread = 128;

int thread_count(int wanted, int atom_count) {
  if (wanted == 0) wanted = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::clamp(std::min(wanted, atom_count / kLeastAtomsPerThread), 1, 64);
}

}  // namespace

void analyse_spheres(const AnalysisInput& input, AnalysisResults& results,
                     SphereWatcher* watcher, InterruptPoll poll, int threads) {
  const SphereSetup setup = sphere_setup(input);
  const float scale = compliance_scale(input.bond_reference[0], input.bond_reference[1]);
  size_results(results, input.atom_count);
  const int parts = watcher == nullptr && poll == no_interrupt_poll
                        ? thread_count(threads, input.atom_count)
                        : 1;
  if (parts == 1) {
    analyse_range(input, setup, scale, 1, input.atom_count, results, watcher, poll);
    return;
  }
  // Part p takes atoms first(p) .. first(p + 1) - 1; each keeps its own error.
  const auto first = [&](int p) {
    return 1 + static_cast<int>(static_cast<long long>(input.atom_count) * p / parts);
  };
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(parts));
  const auto run_part = [&](int p) {
    try {
      analyse_range(input, setup, scale, first(p), first(p + 1) - 1, results, nullptr, poll);
    } catch (...) {
      errors[static_cast<std::size_t>(p)] = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  for (int p = 1; p < parts; ++p) workers.emplace_back(run_part, p);
  run_part(0);
  for (auto& worker : workers) worker.join();
  for (const auto& error : errors) {
    if (error) std::rethrow_exception(error);
  }
}

void order_by_w(AnalysisResults& results) {
  sort_by_w(results.w_values, results.w_values.size(), results.atom_order);
}

}  // namespace wsphere
