// The neighbour-sphere analysis of every cell atom: its sphere pass over the
// block, then its W and compliance; and the ordering of the atoms by W.
#pragma once

#include "analysis/analysis_input.hpp"
#include "analysis/results.hpp"
#include "analysis/sphere_pass.hpp"
#include "core/interrupt_poll.hpp"

namespace wsphere {

// Sees the passes as they run: the program writes its sphere section from it.
class SphereWatcher {
 public:
  virtual ~SphereWatcher() = default;
  // Before the pass of cell atom `atom` (1-based).
  virtual void centre(int atom) = 0;
  // Each member of that pass, in block order.
  virtual void member(const SphereMember& member) = 0;
};

// Legacy name: KALMIR (the passes, W and compliance). For each cell atom in
// input order: `poll`, then its pass over the block that build_block makes of
// `input` (the pass needs no block in memory), seen by `watcher` when there is
// one, then its entries of `results`, which are sized to the atom count here.
// Without a watcher, up to `threads` threads (0: one per processor) take
// shares of the atoms, each polling before each of its atoms; the results are
// the same, and the error of the first atom in input order that fails is the
// one raised.
inline constexpr int kAllProcessors = 0;

void analyse_spheres(const AnalysisInput& input, AnalysisResults& results,
                     SphereWatcher* watcher = nullptr, InterruptPoll poll = no_interrupt_poll,
                     int threads = 1);

// Sorts w_values ascending and permutes atom_order with them.
void order_by_w(AnalysisResults& results);

}  // namespace wsphere
