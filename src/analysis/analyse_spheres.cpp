#include "analysis/analyse_spheres.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
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

// The atoms first .. last (1-based) through `filter`.
void analyse_range(const AnalysisInput& input, const SphereSetup& setup, float scale,
                   SphereFilter& filter, int first, int last, AnalysisResults& results,
                   SphereWatcher* watcher, InterruptPoll poll) {
  for (int i = first; i <= last; ++i) {
    poll();
    results.atom_order(i) = i;
    if (watcher != nullptr) watcher->centre(i);
    const CentreSums sums = centre_sums(setup, filter, input, i, watcher);
    store_atom_results(input, i, sums, scale, results);
  }
}

// The atoms handed out in shares of kShareAtoms, in input order, to `parts`
// threads as each asks for more, so that a slower processor takes fewer. A
// share that fails keeps its error, and no share after it is started; every
// share before it was started earlier and runs to its end. The error of the
// first failing share is raised, which is the error of the first atom in
// input order that fails.
constexpr int kShareAtoms = 32;

void analyse_shared(const AnalysisInput& input, const SphereSetup& setup, float scale, int parts,
                    AnalysisResults& results, InterruptPoll poll) {
  const int shares = (input.atom_count + kShareAtoms - 1) / kShareAtoms;
  std::atomic<int> next_share{0};
  std::atomic<int> first_failed{shares};
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(shares));
  const auto take_shares = [&](SphereFilter& filter) {
    for (;;) {
      const int share = next_share.fetch_add(1);
      if (share >= first_failed.load()) return;
      const int first = 1 + share * kShareAtoms;
      const int last = std::min(input.atom_count, first + kShareAtoms - 1);
      try {
        analyse_range(input, setup, scale, filter, first, last, results, nullptr, poll);
      } catch (...) {
        errors[static_cast<std::size_t>(share)] = std::current_exception();
        int failed = first_failed.load();
        while (share < failed && !first_failed.compare_exchange_weak(failed, share)) {
        }
      }
    }
  };
  // This thread's filter is built first, so that a failure there is raised
  // before any other thread starts. A helper that cannot be started, or that
  // cannot build its filter, leaves its shares to the others.
  SphereFilter filter(setup, input);
  std::vector<std::thread> helpers;
  for (int p = 1; p < parts; ++p) {
    try {
      helpers.emplace_back([&] {
        try {
          SphereFilter own(setup, input);
          take_shares(own);
        } catch (...) {
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  take_shares(filter);
  for (auto& helper : helpers) helper.join();
  if (const int failed = first_failed.load(); failed < shares) {
    std::rethrow_exception(errors[static_cast<std::size_t>(failed)]);
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
  const int parts = watcher == nullptr ? thread_count(threads, input.atom_count) : 1;
  if (parts > 1) {
    analyse_shared(input, setup, scale, parts, results, poll);
    return;
  }
  SphereFilter filter(setup, input);
  analyse_range(input, setup, scale, filter, 1, input.atom_count, results, watcher, poll);
}

void order_by_w(AnalysisResults& results) {
  sort_by_w(results.w_values, results.w_values.size(), results.atom_order);
}

}  // namespace wsphere
