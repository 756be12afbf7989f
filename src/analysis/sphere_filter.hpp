// A grid over the block's initial fractional coordinates, built once per run,
// that hands a centre only the candidates that can lie inside its sphere.
//
// In a cell whose metric G is positive definite, a difference d with
// dᵀGd <= r² has |d_i| <= r·sqrt(G⁻¹_ii) along each axis. The filter drops a
// candidate only when one fractional difference exceeds that half-width by 1 %
// (plus a small absolute amount); such a candidate's squared distance, even as
// rounded by the pass, is certainly above the sphere. Every other candidate
// goes through the ordinary member test, in block order.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/block.hpp"
#include "analysis/sphere_pass.hpp"
#include "structure/structure_state.hpp"

namespace wsphere {

class SphereFilter {
 public:
  // The filter is used only while the box round the sphere covers at most this
  // part of the block; a larger sphere gains too little from it.
  static constexpr double kDefaultMaxBoxShare = 0.5;

  SphereFilter(const SphereSetup& setup, const StructureState& state, const Block& block,
               double max_box_share = kDefaultMaxBoxShare);

  // False when the cell, the radius or the positions leave no safe filter (a
  // metric that is not positive definite or too oblique, values that are not
  // finite or out of range) or when it would gain nothing: the caller then
  // scans every candidate.
  bool usable() const { return usable_; }

  // Half-width of the candidate box along each fractional axis.
  double half_width(int axis) const { return half_width_[axis]; }

  // Calls visit(j) for the 0-based block index j of every candidate that may
  // lie within the sphere round the initial position (cx, cy, cz), in
  // ascending order. Only for a usable filter. Allocates nothing.
  template <class Visit>
  void for_each_candidate(float cx, float cy, float cz, Visit&& visit);

 private:
  struct Span {
    int first = 0;
    int last = 0;
  };
  bool set_half_widths(const CellMetric& metric, float sphere_radius_sq);
  bool set_extent(int count);
  void build_grid(int count);
  int bin_of(int axis, double coordinate) const;
  Span bins_round(int axis, double centre) const;
  void mark_bin(int bin, const double (&low)[3], const double (&high)[3]);

  bool usable_ = false;
  const float* position_[3] = {nullptr, nullptr, nullptr};
  double half_width_[3] = {0.0, 0.0, 0.0};
  double lowest_[3] = {0.0, 0.0, 0.0};
  double bins_per_unit_[3] = {1.0, 1.0, 1.0};
  int bins_[3] = {1, 1, 1};
  // The block atoms bin by bin, ascending within a bin, with their positions.
  std::vector<int> bin_start_;
  std::vector<int> binned_atom_;
  std::vector<float> binned_position_[3];
  // One bit per block atom: the candidates of the current centre.
  std::vector<std::uint64_t> marks_;
  int first_word_ = 0;
  int last_word_ = -1;
};

template <class Visit>
void SphereFilter::for_each_candidate(float cx, float cy, float cz, Visit&& visit) {
  const double centre[3] = {cx, cy, cz};
  double low[3];
  double high[3];
  Span span[3];
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = centre[axis] - half_width_[axis];
    high[axis] = centre[axis] + half_width_[axis];
    span[axis] = bins_round(axis, centre[axis]);
  }
  first_word_ = static_cast<int>(marks_.size());
  last_word_ = -1;
  for (int bx = span[0].first; bx <= span[0].last; ++bx) {
    for (int by = span[1].first; by <= span[1].last; ++by) {
      const int row = (bx * bins_[1] + by) * bins_[2];
      for (int bz = span[2].first; bz <= span[2].last; ++bz) mark_bin(row + bz, low, high);
    }
  }
  // Each word is cleared before its candidates are visited; the guard clears
  // the rest if a visit throws, so the next centre starts with no marks.
  struct Clear {
    SphereFilter& filter;
    ~Clear() {
      for (int w = filter.first_word_; w <= filter.last_word_; ++w) filter.marks_[w] = 0;
    }
  } clear{*this};
  for (; first_word_ <= last_word_; ++first_word_) {
    std::uint64_t word = marks_[first_word_];
    marks_[first_word_] = 0;
    while (word != 0) {
      visit(first_word_ * 64 + __builtin_ctzll(word));
      word &= word - 1;
    }
  }
}

// The pass of cell atom `centre` over the candidates that `filter` lets
// through, or over every candidate when the filter is not usable; members,
// their order and the sums are those of centre_pass.
template <class OnMember>
CentreSums filtered_centre_pass(const SphereSetup& setup, SphereFilter& filter,
                                const StructureState& state, const Block& block, int centre,
                                OnMember&& on_member) {
  if (!filter.usable()) return centre_pass(setup, state, block, centre, on_member);
  const CentreView view(setup, state, block, centre);
  static_cast<void>(checked_block_count(state));
  CentreSums sums;
  filter.for_each_candidate(state.initial_positions.x(centre), state.initial_positions.y(centre),
                            state.initial_positions.z(centre),
                            [&](int j) { view.visit(j, sums, on_member); });
  return sums;
}

}  // namespace wsphere
