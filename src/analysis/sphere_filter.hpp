// A grid over the cell atoms' initial fractional coordinates, built once per
// run, that hands a centre only the block atoms that can lie inside its sphere:
// the images of the cell atoms near the centre, for each of the 27 shifts.
//
// The filter measures each image near the centre in Cartesian coordinates
// made from the cell metric, in single precision, eight at a time, and drops it
// only when its squared distance exceeds the squared radius by 1 %, by the
// rounding of block positions and by the rounding of the test itself: far
// more than the single-precision rounding of the pass can make up in a cell
// that is not too oblique, so a dropped candidate would also have failed the
// pass's own sphere test. Every other candidate goes through the pass's
// ordinary self and sphere tests, in block order: the near images are marked
// by slot in a bit set and listed from it in ascending order.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "analysis/analysis_input.hpp"
#include "analysis/block.hpp"
#include "analysis/sphere_lanes.hpp"
#include "analysis/sphere_pass.hpp"
#include "core/bit_lists.hpp"

namespace wsphere {

// The block index (0-based) of the candidate in `slot`.
inline int block_index_of(int slot) {
  return kImagesPerAtom * (slot / kImageSlots) + slot % kImageSlots;
}

class SphereFilter {
 public:
  // The filter is used only while the box round the sphere covers at most this
  // part of the block; a larger sphere gains too little from it.
  static constexpr double kDefaultMaxBoxShare = 0.5;

  // For the block that build_block makes of `input`: block atom 27 i + image
  // (0-based) is cell atom i shifted by whole cells; the filter keeps copies of
  // the positions it needs. `lanes` are the kernels of the near test and of
  // the passes (the fastest by default).
  SphereFilter(const SphereSetup& setup, const AnalysisInput& input,
               double max_box_share = kDefaultMaxBoxShare, LaneKernels lanes = lane_kernels());

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

  // The sums of the pass of `centre` alone, without the members: equal to
  // pass()'s, and faster. Only for a usable filter.
  CentreSums sums(int centre);

  // How many candidates the pass of `centre` measures (for tests and tuning).
  int candidate_count(int centre);

 private:
  // Room for the marked atoms listed before they are measured.
  static constexpr int kFound = 512;

  struct Span {
    int first = 0;
    int last = 0;
  };

  bool set_extent(const AnalysisInput& input);
  bool set_limits(const CellMetric& metric, float sphere_radius_sq);
  void set_near_limit();
  void set_bins(int atom_count);
  void build_grid(const AnalysisInput& input);
  int bin_of(int axis, double coordinate) const;
  bool bins_round(int axis, double centre, Span& span) const;
  void mark_candidates(float cx, float cy, float cz);
  void add_run(int first, int end, int image, const float (&offset)[3]);
  void mark_runs();
  template <class Take>
  void take_marked(Take& take);
  void clear_marks();

  void set_lanes(const SphereSetup& setup, const AnalysisInput& input);
  void start_centre(int centre);
  void measure(const int* slots, int count);
  template <class OnMember>
  void add_members(const int* slots, int count, CentreSums& sums, OnMember& on_member);

  bool usable_ = false;
  // The initial metric as Cartesian axes: the squared distance of a
  // fractional difference d is |cartesian_ d|², cartesian_ upper triangular.
  double cartesian_[3][3] = {};
  double keep_limit_ = 0.0;  // largest squared distance the filter keeps
  float near_limit_ = 0.0f;  // the same for the single-precision near test
  double half_width_[3] = {0.0, 0.0, 0.0};  // of the box round that ellipsoid
  double lowest_[3] = {0.0, 0.0, 0.0};      // of the cell atoms
  double highest_[3] = {0.0, 0.0, 0.0};
  double bins_per_unit_[3] = {1.0, 1.0, 1.0};
  int bins_[3] = {1, 1, 1};
  // The cell atoms bin by bin, ascending within a bin: the slot of each one's
  // first image (kImageSlots x its 0-based number), and their Cartesian
  // positions.
  std::vector<int> bin_start_;
  std::vector<int> slot_base_;
  // The runs of the current centre waiting for the near test, the atoms in
  // them, and the near images they give.
  static constexpr int kRuns = 256;
  NearRun runs_[kRuns] = {};
  int run_count_ = 0;
  int run_atoms_ = 0;
  std::vector<int> near_;
  std::vector<float> binned_position_[3];
  // One bit per slot: the candidates of the current centre.
  std::vector<std::uint64_t> marks_;
  // One byte per word of marks_, set when the word holds a mark; one byte per
  // 64 words, set when one of them does, so that a centre's scan does not grow
  // with the structure. Bytes, not bits: marking only stores, and successive
  // marks never wait for one another.
  std::vector<std::uint8_t> marked_words_;
  std::vector<std::uint8_t> marked_groups_;
  // The marked block atoms listed by a scan, in block order, waiting to be
  // measured; and the lane kernel's results for them.
  std::vector<int> found_;
  MeasureChunk measure_;
  SumChunk sum_;
  FindNear find_near_;
  // Each cell atom's initial and minimised coordinates side by side, and the
  // whole-cell shifts of the 27 images (each twice, for both position sets),
  // eight values each (ListedCandidates).
  std::vector<float> atom_position_;
  float image_shift_[kImagesPerAtom][8] = {};
  LaneConstants constants_;
  LaneCentre centre_;
  std::vector<std::uint8_t> result_flags_;
  std::vector<float> result_distance_;
  std::vector<float> result_change_;
};

template <class Visit>
void SphereFilter::for_each_candidate(float cx, float cy, float cz, Visit&& visit) {
  mark_candidates(cx, cy, cz);
  const auto take = [&](const int* slots, int count) {
    for (int n = 0; n < count; ++n) visit(block_index_of(slots[n]));
  };
  take_marked(take);
}

// Lists the marked block atoms in ascending order, clearing the marks, and
// hands them on a piece at a time: take(const int* slots, int count). Only
// the words that the two summaries show marked are read. If `take` throws,
// every mark is cleared, so that the next centre starts with none. The atoms
// of a word are listed without a branch on how many it holds.
template <class Take>
void SphereFilter::take_marked(Take& take) {
  struct Clear {
    SphereFilter& filter;
    bool done = false;
    ~Clear() {
      if (!done) filter.clear_marks();
    }
  } clear{*this};
  int* found = found_.data();
  int count = 0;
  for (std::size_t top = 0; top < marked_groups_.size(); top += 8) {
    std::uint64_t groups = flagged_bytes(marked_groups_.data() + top);
    while (groups != 0) {
      const std::size_t group = top + static_cast<std::size_t>(std::countr_zero(groups));
      groups &= groups - 1;
      marked_groups_[group] = 0;
      std::uint8_t* flags = marked_words_.data() + group * 64;
      std::uint64_t words = 0;
      for (int part = 0; part < 8; ++part) words |= flagged_bytes(flags + 8 * part) << (8 * part);
      std::fill(flags, flags + 64, 0);
      while (words != 0) {
        const std::size_t index = group * 64 + static_cast<std::size_t>(std::countr_zero(words));
        words &= words - 1;
        count = list_bits(marks_[index], static_cast<int>(index) * 64, found, count);
        marks_[index] = 0;
        if (count > kFound - 64) {
          take(static_cast<const int*>(found), count);
          count = 0;
        }
      }
    }
  }
  if (count > 0) take(static_cast<const int*>(found), count);
  clear.done = true;
}

template <class OnMember>
CentreSums SphereFilter::pass(int centre, OnMember& on_member) {
  start_centre(centre);
  CentreSums sums;
  const auto take = [&](const int* slots, int count) {
    measure(slots, count);
    add_members(slots, count, sums, on_member);
  };
  take_marked(take);
  return sums;
}

// Adds the measured members to the sums, in order.
template <class OnMember>
void SphereFilter::add_members(const int* slots, int count, CentreSums& sums,
                               OnMember& on_member) {
  for (int k = 0; k < count; ++k) {
    const std::uint8_t flags = result_flags_[k];
    if ((flags & kMember) == 0) continue;
    if ((flags & kMathError) != 0) sqrt_domain_error();
    add_member_to_sums(
        SphereMember{block_index_of(slots[k]) + 1, result_distance_[k], result_change_[k]},
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
