// A grid over the cell atoms' initial fractional coordinates, built once per
// run, that hands a centre only the block atoms that can lie inside its sphere:
// the images of the cell atoms near the centre, for each of the 27 shifts.
//
// The filter measures each image near the centre with the cell metric in double
// precision, from the cell atom's position plus the whole-cell shift, and drops
// it only when its squared distance exceeds the squared radius by 1 % and by
// the rounding of block positions: far more than the single-precision rounding
// of the pass can make up in a cell that is not too oblique, so a dropped
// candidate would also have failed the pass's own sphere test. Every other
// candidate goes through the pass's ordinary self and sphere tests, in block
// order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "analysis/analysis_input.hpp"
#include "analysis/block.hpp"
#include "analysis/sphere_lanes.hpp"
#include "analysis/sphere_pass.hpp"

namespace wsphere {

class SphereFilter {
 public:
  // The filter is used only while the box round the sphere covers at most this
  // part of the block; a larger sphere gains too little from it.
  static constexpr double kDefaultMaxBoxShare = 0.5;

  // For the block that build_block makes of `input`: block atom 27 i + image
  // (0-based) is cell atom i shifted by whole cells; the filter keeps copies of
  // the positions it needs. `measure` is the lane kernel of the passes (the
  // fastest by default).
  SphereFilter(const SphereSetup& setup, const AnalysisInput& input,
               double max_box_share = kDefaultMaxBoxShare, MeasureChunk measure = measure_chunk());

  // False when the cell, the radius or the positions leave no safe filter (a
  // metric that is not positive definite or too oblique, values that are not
  // finite or out of range) or when it would gain nothing: the caller then
  // scans every candidate.
  bool usable() const { return usable_; }

  // Calls visit(j) for the 0-based block index j of every candidate that may
  // lie within the sphere round the initial position (cx, cy, cz), in
  // ascending order. Only for a usable filter. Allocates nothing.
  template <class Visit>
  void for_each_candidate(float cx, float cy, float cz, Visit&& visit);

  // The pass of cell atom `centre` (1-based) over its candidates, measured
  // many at a time: on_member(const SphereMember&) for each member in block
  // order, and the sums, as centre_pass gives them. Only for a usable filter.
  template <class OnMember>
  CentreSums pass(int centre, OnMember& on_member);

  // How many candidates the pass of `centre` measures (for tests and tuning).
  int candidate_count(int centre);

 private:
  // Candidates measured at once.
  static constexpr int kChunk = 128;

  struct Span {
    int first = 0;
    int last = 0;
  };

  bool set_extent(const AnalysisInput& input);
  bool set_limits(const CellMetric& metric, float sphere_radius_sq);
  void set_bins(int atom_count);
  void build_grid(const AnalysisInput& input);
  int bin_of(int axis, double coordinate) const;
  bool bins_round(int axis, double centre, Span& span) const;
  void mark_images(int image, int first, int end, const double (&offset)[3]);
  template <class Visit>
  void visit_marked(Visit& visit);

  void set_lanes(const SphereSetup& setup, const AnalysisInput& input);
  void take_candidate(int j);
  template <class OnMember>
  void add_measured(CentreSums& sums, OnMember& on_member);

  bool usable_ = false;
  double metric_[6] = {};  // the metric coefficients in double precision
  double keep_limit_ = 0.0;  // largest squared distance the filter keeps
  double half_width_[3] = {0.0, 0.0, 0.0};  // of the box round that ellipsoid
  double lowest_[3] = {0.0, 0.0, 0.0};      // of the cell atoms
  double highest_[3] = {0.0, 0.0, 0.0};
  double bins_per_unit_[3] = {1.0, 1.0, 1.0};
  int bins_[3] = {1, 1, 1};
  // The cell atoms bin by bin, ascending within a bin: the block index of each
  // one's first image (27 x its 0-based number), and their positions.
  std::vector<int> bin_start_;
  std::vector<int> block_base_;
  std::vector<int> near_;  // the near images of one run
  std::vector<float> binned_position_[3];
  // One bit per block atom: the candidates of the current centre.
  std::vector<std::uint64_t> marks_;
  // One bit per word of marks_: the words that hold a mark.
  std::vector<std::uint64_t> marked_words_;
  // One bit per word of marked_words_: the words that hold a bit, so that a
  // centre's scan does not grow with the structure.
  std::vector<std::uint64_t> marked_groups_;
  // The candidates of the current centre waiting to be measured, in block
  // order: their shifted initial and minimised coordinates and block indices;
  // and the lane kernel's results for them.
  MeasureChunk measure_;
  FindNear find_near_;
  // Each cell atom's initial and minimised coordinates side by side, and the
  // whole-cell shifts of the 27 images (each twice, for both position sets).
  std::vector<float> atom_position_;
  float image_shift_[kImagesPerAtom][6] = {};
  LaneConstants constants_;
  LaneCentre centre_;
  int pending_ = 0;
  std::vector<float> chunk_position_[6];
  std::vector<int> chunk_block_;
  std::vector<std::uint8_t> result_flags_;
  std::vector<float> result_distance_;
  std::vector<float> result_change_;
};

template <class Visit>
void SphereFilter::for_each_candidate(float cx, float cy, float cz, Visit&& visit) {
  const double centre[3] = {cx, cy, cz};
  for (int a = -1; a <= 1; ++a) {
    Span sx;
    if (!bins_round(0, centre[0] - a, sx)) continue;
    for (int b = -1; b <= 1; ++b) {
      Span sy;
      if (!bins_round(1, centre[1] - b, sy)) continue;
      for (int c = -1; c <= 1; ++c) {
        Span sz;
        if (!bins_round(2, centre[2] - c, sz)) continue;
        const int image = 9 * (a + 1) + 3 * (b + 1) + (c + 1);
        const double offset[3] = {a - centre[0], b - centre[1], c - centre[2]};
        for (int bx = sx.first; bx <= sx.last; ++bx) {
          for (int by = sy.first; by <= sy.last; ++by) {
            const int row = (bx * bins_[1] + by) * bins_[2];  // the bins along z lie together
            mark_images(image, bin_start_[row + sz.first], bin_start_[row + sz.last + 1], offset);
          }
        }
      }
    }
  }
  visit_marked(visit);
}

// Visits the marked block atoms in ascending order and clears the marks: only
// the words that the two summaries show marked are read. Each word is cleared
// before its atoms are visited; if a visit throws, the guard clears every mark
// so that the next centre starts with none.
template <class Visit>
void SphereFilter::visit_marked(Visit& visit) {
  struct Clear {
    SphereFilter& filter;
    bool done = false;
    ~Clear() {
      if (done) return;
      std::fill(filter.marks_.begin(), filter.marks_.end(), 0);
      std::fill(filter.marked_words_.begin(), filter.marked_words_.end(), 0);
      std::fill(filter.marked_groups_.begin(), filter.marked_groups_.end(), 0);
    }
  } clear{*this};
  for (std::size_t top = 0; top < marked_groups_.size(); ++top) {
    std::uint64_t groups = marked_groups_[top];
    marked_groups_[top] = 0;
    while (groups != 0) {
      const std::size_t group = top * 64 + static_cast<std::size_t>(__builtin_ctzll(groups));
      groups &= groups - 1;
      std::uint64_t words = marked_words_[group];
      marked_words_[group] = 0;
      while (words != 0) {
        const std::size_t index = group * 64 + static_cast<std::size_t>(__builtin_ctzll(words));
        words &= words - 1;
        std::uint64_t word = marks_[index];
        marks_[index] = 0;
        const int base = static_cast<int>(index) * 64;
        while (word != 0) {
          visit(base + __builtin_ctzll(word));
          word &= word - 1;
        }
      }
    }
  }
  clear.done = true;
}

// Block atom j waits to be measured: its cell atom's coordinates shifted by
// whole cells, each the single sum of the coordinate and its shift (the
// block's own rounding).
inline void SphereFilter::take_candidate(int j) {
  const int atom = j / kImagesPerAtom;
  const float* shift = image_shift_[j - atom * kImagesPerAtom];
  const float* position = atom_position_.data() + 6 * static_cast<std::size_t>(atom);
  const int k = pending_++;
  for (int c = 0; c < 6; ++c) chunk_position_[c][k] = position[c] + shift[c];
  chunk_block_[k] = j;
}

template <class OnMember>
CentreSums SphereFilter::pass(int centre, OnMember& on_member) {
  const float* position = atom_position_.data() + 6 * static_cast<std::size_t>(centre - 1);
  centre_ = {position[0], position[1], position[2], position[3], position[4], position[5]};
  pending_ = 0;
  CentreSums sums;
  for_each_candidate(centre_.x, centre_.y, centre_.z, [&](int j) {
    take_candidate(j);
    if (pending_ == kChunk) add_measured(sums, on_member);
  });
  add_measured(sums, on_member);
  return sums;
}

// Measures the waiting candidates and adds their members to the sums, in order.
template <class OnMember>
void SphereFilter::add_measured(CentreSums& sums, OnMember& on_member) {
  const int count = pending_;
  pending_ = 0;
  if (count == 0) return;
  const CandidateChunk chunk{chunk_position_[0].data(), chunk_position_[1].data(),
                             chunk_position_[2].data(), chunk_position_[3].data(),
                             chunk_position_[4].data(), chunk_position_[5].data(), count};
  measure_(constants_, centre_, chunk,
           {result_flags_.data(), result_distance_.data(), result_change_.data()});
  for (int k = 0; k < count; ++k) {
    const std::uint8_t flags = result_flags_[k];
    if ((flags & kMember) == 0) continue;
    if ((flags & kMathError) != 0) sqrt_domain_error();
    add_member_to_sums(SphereMember{chunk_block_[k] + 1, result_distance_[k], result_change_[k]},
                       (flags & kBonded) != 0, sums, on_member);
  }
}

// The pass of cell atom `centre` through `filter`, or over every candidate
// when the filter is not usable; members, their order and the sums are those
// of centre_pass.
template <class OnMember>
CentreSums filtered_centre_pass(const SphereSetup& setup, SphereFilter& filter,
                                const AnalysisInput& input, int centre, OnMember&& on_member) {
  if (!filter.usable()) return centre_pass(setup, input, centre, on_member);
  return filter.pass(centre, on_member);
}

}  // namespace wsphere
