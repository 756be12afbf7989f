#include "analysis/sphere_filter.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wsphere {

namespace {

// The error bounds hold for cells no more oblique than this: every eigenvalue
// of the metric above its largest diagonal entry / kMaxSpread. The rounding of
// the pass then changes a squared distance by less than 0.1 %.
constexpr double kMaxSpread = 1.0e4;
// The filter keeps squared distances up to the squared radius times this, plus
// the squared distance of a fractional difference of kSmallestStep at the
// smallest eigenvalue allowed, which keeps dropped distances far above the
// single-precision underflow.
constexpr double kRelativeMargin = 1.01;
constexpr double kSmallestStep = 1.0e-9;
// Bounds that keep squared distances inside the normal single-precision range.
constexpr double kSmallestDiagonal = 1.0e-6;
constexpr double kLargestDiagonal = 1.0e20;
constexpr double kLargestCoordinate = 1.0e3;
// Bins per half-width of the box along each axis: few along x and y, where
// every column of bins is a run of its own to test, many along z, where the
// bins of a run lie together and finer bins only trim its ends. No more bins
// in all than kMaxBinsPerAtom per cell atom (the grid grows with the
// structure). Chosen by counting tested images and runs on kyanite supercells.
constexpr double kBinsPerHalfWidth[3] = {1.0, 1.0, 12.0};
constexpr double kMaxBinsPerAtom = 8.0;

struct Matrix3 {
  double m[3][3];
};

// The metric as a symmetric matrix: squared distance = dᵀ G d.
Matrix3 metric_matrix(const CellMetric& metric) {
  const double ab = 0.5 * metric.ab;
  const double ac = 0.5 * metric.ac;
  const double bc = 0.5 * metric.bc;
  return {{{metric.aa, ab, ac}, {ab, metric.bb, bc}, {ac, bc, metric.cc}}};
}

double determinant(const Matrix3& g) {
  const auto& m = g.m;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Sylvester's criterion on the leading minors.
bool positive_definite(const Matrix3& g) {
  const auto& m = g.m;
  return m[0][0] > 0.0 && m[0][0] * m[1][1] - m[0][1] * m[1][0] > 0.0 && determinant(g) > 0.0;
}

bool all_finite(const CellMetric& m) {
  return std::isfinite(m.aa) && std::isfinite(m.bb) && std::isfinite(m.cc) &&
         std::isfinite(m.ab) && std::isfinite(m.ac) && std::isfinite(m.bc);
}

// Diagonal entry `axis` of the inverse: its cofactor over the determinant.
// Within the ellipsoid dᵀGd <= q, |d_axis| <= sqrt(q · this).
double inverse_diagonal(const Matrix3& g, int axis) {
  const int p = (axis + 1) % 3;
  const int q = (axis + 2) % 3;
  return (g.m[p][p] * g.m[q][q] - g.m[p][q] * g.m[q][p]) / determinant(g);
}

// The Cholesky factor of a positive definite metric: upper triangular `out`
// with outᵀ out = g, so that dᵀ g d = |out d|².
void set_cartesian(const Matrix3& g, double (&out)[3][3]) {
  const auto& m = g.m;
  const double l00 = std::sqrt(m[0][0]);
  const double l01 = m[0][1] / l00;
  const double l02 = m[0][2] / l00;
  const double l11 = std::sqrt(m[1][1] - l01 * l01);
  const double l12 = (m[1][2] - l01 * l02) / l11;
  const double l22 = std::sqrt(m[2][2] - l02 * l02 - l12 * l12);
  const double rows[3][3] = {{l00, l01, l02}, {0.0, l11, l12}, {0.0, 0.0, l22}};
  std::copy(&rows[0][0], &rows[0][0] + 9, &out[0][0]);
}

// Cartesian coordinate `axis` of fractional (x, y, z).
double cartesian_coordinate(const double (&axes)[3][3], int axis, double x, double y, double z) {
  return axes[axis][0] * x + axes[axis][1] * y + axes[axis][2] * z;
}

}  // namespace

SphereFilter::SphereFilter(const SphereSetup& setup, const AnalysisInput& input,
                           double max_box_share, LaneKernels lanes)
    : measure_(lanes.measure), sum_(lanes.sum), find_near_(lanes.find_near) {
  if (input.atom_count < 1 || !set_extent(input) ||
      !set_limits(setup.initial_metric, setup.sphere_radius_sq)) {
    return;
  }
  // The block spans the cell atoms' extent plus one cell on either side.
  double box_share = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    box_share *= std::min(1.0, 2.0 * half_width_[axis] / (highest_[axis] - lowest_[axis] + 2.0));
  }
  if (box_share > max_box_share) return;
  set_bins(input.atom_count);
  build_grid(input);
  set_near_limit();
  set_lanes(setup, input);
  usable_ = true;
}

// The lane kernel's constants and stores, sized once.
void SphereFilter::set_lanes(const SphereSetup& setup, const AnalysisInput& in) {
  const auto doubles = [](const CellMetric& m, double (&out)[6]) {
    const float values[6] = {m.aa, m.bb, m.cc, m.ab, m.ac, m.bc};
    for (int k = 0; k < 6; ++k) out[k] = values[k];
  };
  doubles(setup.initial_metric, constants_.initial_metric);
  doubles(setup.minimised_metric, constants_.minimised_metric);
  constants_.sphere_radius_sq = setup.sphere_radius_sq;
  constants_.bond_limit = setup.bond_limit;
  const float* position[6] = {in.initial.x,   in.initial.y,   in.initial.z,
                              in.minimised.x, in.minimised.y, in.minimised.z};
  atom_position_.assign(8 * static_cast<std::size_t>(in.atom_count), 0.0f);
  for (int i = 0; i < in.atom_count; ++i) {
    for (int c = 0; c < 6; ++c) atom_position_[8 * static_cast<std::size_t>(i) + c] = position[c][i];
  }
  for (int image = 0; image < kImagesPerAtom; ++image) {
    const ImageShifts shift = image_shifts(image);
    const float values[3] = {static_cast<float>(shift.a), static_cast<float>(shift.b),
                             static_cast<float>(shift.c)};
    for (int c = 0; c < 6; ++c) image_shift_[image][c] = values[c % 3];
  }
  // The lanes read and write whole groups of four.
  found_.assign(kFound + 4, 0);
  result_flags_.assign(kFound + 4, 0);
  result_distance_.assign(kFound + 4, 0.0f);
  result_change_.assign(kFound + 4, 0.0f);
}

// The centre's positions, and the marks of its candidates.
void SphereFilter::start_centre(int centre) {
  const float* p = atom_position_.data() + 8 * static_cast<std::size_t>(centre - 1);
  centre_ = {p[0], p[1], p[2], p[3], p[4], p[5]};
  mark_candidates(centre_.x, centre_.y, centre_.z);
}

// Measures the listed candidates of the current centre into the results.
void SphereFilter::measure(const int* slots, int count) {
  measure_(constants_, centre_, {atom_position_.data(), &image_shift_[0][0], slots, count},
           {result_flags_.data(), result_distance_.data(), result_change_.data()});
}

CentreSums SphereFilter::sums(int centre) {
  start_centre(centre);
  LaneSums sums;
  const auto take = [&](const int* slots, int count) {
    sum_(constants_, centre_, {atom_position_.data(), &image_shift_[0][0], slots, count}, sums);
    if ((sums.flags_seen & kMathError) != 0) sqrt_domain_error();
  };
  take_marked(take);
  return {sums.member_count, sums.change_sq_sum, sums.bond_count, sums.bond_sum};
}

void SphereFilter::clear_marks() {
  std::fill(marks_.begin(), marks_.end(), 0);
  std::fill(marked_words_.begin(), marked_words_.end(), 0);
  std::fill(marked_groups_.begin(), marked_groups_.end(), 0);
}

// Bin of a coordinate along one axis; monotone in the coordinate, so every
// coordinate between two others lies in a bin between theirs.
inline int SphereFilter::bin_of(int axis, double coordinate) const {
  // Truncation is the floor for what lies between the clamps.
  const double scaled = (coordinate - lowest_[axis]) * bins_per_unit_[axis];
  if (!(scaled > 0.0)) return 0;
  if (scaled >= bins_[axis]) return bins_[axis] - 1;
  return static_cast<int>(scaled);
}

// The bins of the cell atoms within the half-width of `centre` along one axis;
// false when no cell atom can be that near.
inline bool SphereFilter::bins_round(int axis, double centre, Span& span) const {
  const double low = centre - half_width_[axis];
  const double high = centre + half_width_[axis];
  if (high < lowest_[axis] || low > highest_[axis]) return false;
  span = {bin_of(axis, low), bin_of(axis, high)};
  return true;
}

// Adds a run of binned cell atoms, first .. end-1, for the near test of their
// image `image` (0 .. 26). `offset` is the image's shift minus the centre, in
// Cartesian coordinates. The runs wait until they fill the room for them.
inline void SphereFilter::add_run(int first, int end, int image, const float (&offset)[3]) {
  if (first >= end) return;
  if (run_count_ == kRuns || run_atoms_ + (end - first) > static_cast<int>(near_.size()) - 8) {
    mark_runs();
  }
  runs_[run_count_++] = {first, end, image, {offset[0], offset[1], offset[2]}};
  run_atoms_ += end - first;
}

int SphereFilter::candidate_count(int centre) {
  const float* position = atom_position_.data() + 8 * static_cast<std::size_t>(centre - 1);
  int count = 0;
  for_each_candidate(position[0], position[1], position[2], [&](int) { ++count; });
  return count;
}

void SphereFilter::mark_candidates(float cx, float cy, float cz) {
  const double centre[3] = {cx, cy, cz};
  // The bins near the centre along each axis, for shifts -1, 0 and 1.
  Span spans[3][3];
  bool near[3][3];
  for (int axis = 0; axis < 3; ++axis) {
    for (int shift = -1; shift <= 1; ++shift) {
      near[axis][shift + 1] = bins_round(axis, centre[axis] - shift, spans[axis][shift + 1]);
    }
  }
  for (int a = 0; a < 3; ++a) {
    if (!near[0][a]) continue;
    for (int b = 0; b < 3; ++b) {
      if (!near[1][b]) continue;
      for (int c = 0; c < 3; ++c) {
        if (!near[2][c]) continue;
        const double fractional[3] = {a - 1 - centre[0], b - 1 - centre[1], c - 1 - centre[2]};
        float offset[3];
        for (int axis = 0; axis < 3; ++axis) {
          offset[axis] = static_cast<float>(cartesian_coordinate(cartesian_, axis, fractional[0],
                                                                 fractional[1], fractional[2]));
        }
        const Span& sz = spans[2][c];
        for (int bx = spans[0][a].first; bx <= spans[0][a].last; ++bx) {
          for (int by = spans[1][b].first; by <= spans[1][b].last; ++by) {
            const int row = (bx * bins_[1] + by) * bins_[2];  // the bins along z lie together
            add_run(bin_start_[row + sz.first], bin_start_[row + sz.last + 1], 9 * a + 3 * b + c,
                    offset);
          }
        }
      }
    }
  }
  mark_runs();
}

bool SphereFilter::set_limits(const CellMetric& metric, float sphere_radius_sq) {
  if (!all_finite(metric) || !std::isfinite(sphere_radius_sq)) return false;
  const Matrix3 g = metric_matrix(metric);
  const double largest = std::max({g.m[0][0], g.m[1][1], g.m[2][2]});
  if (!(largest >= kSmallestDiagonal && largest <= kLargestDiagonal)) return false;
  Matrix3 shifted = g;
  const double smallest_eigenvalue = largest / kMaxSpread;
  for (int axis = 0; axis < 3; ++axis) shifted.m[axis][axis] -= smallest_eigenvalue;
  if (!positive_definite(shifted)) return false;
  set_cartesian(g, cartesian_);
  // A block position is its cell atom's plus whole cells, rounded to single
  // precision: within `rounding` of the exact sum along each axis, which moves
  // a distance by at most sqrt(3 · largest eigenvalue) · rounding, and the
  // largest eigenvalue is at most the trace, 3 · largest.
  const double largest_coordinate =
      std::max({std::fabs(lowest_[0]), std::fabs(lowest_[1]), std::fabs(lowest_[2]),
                std::fabs(highest_[0]), std::fabs(highest_[1]), std::fabs(highest_[2])});
  const double rounding = (largest_coordinate + 1.0) / (1 << 23);
  const double distance = std::sqrt(static_cast<double>(sphere_radius_sq) * kRelativeMargin +
                                    smallest_eigenvalue * kSmallestStep * kSmallestStep) +
                          3.0 * std::sqrt(largest) * rounding;
  // Widened for the rounding of the distances the filter measures.
  keep_limit_ = distance * distance * (1.0 + 1.0e-6);
  for (int axis = 0; axis < 3; ++axis) {
    const double inverse = inverse_diagonal(g, axis);
    if (!(inverse > 0.0)) return false;
    half_width_[axis] = std::sqrt(keep_limit_ * inverse) * (1.0 + 1.0e-6) + kSmallestStep;
  }
  return true;
}

// The near test adds single-precision Cartesian positions and offsets and sums
// the squares in single precision: each difference is then within
// 1.01 u (P + O) + u |d| of the exact one (u = 2⁻²⁴, P and O the largest
// position and offset coordinates), the length within √3 times that, and the
// sum of squares within 4 u of the square of the rounded length. The limit
// allows for ten times as much.
void SphereFilter::set_near_limit() {
  double largest_position = 0.0;
  for (const auto& p : binned_position_) {
    for (float v : p) largest_position = std::max(largest_position, static_cast<double>(std::fabs(v)));
  }
  double largest_coordinate = 0.0;
  for (int axis = 0; axis < 3; ++axis) {
    largest_coordinate = std::max({largest_coordinate, std::fabs(lowest_[axis]), std::fabs(highest_[axis])});
  }
  double row_sum = 0.0;
  for (const auto& row : cartesian_) {
    row_sum = std::max(row_sum, std::fabs(row[0]) + std::fabs(row[1]) + std::fabs(row[2]));
  }
  const double largest_offset = row_sum * (1.0 + largest_coordinate);
  constexpr double kError = 1.0e-6;
  const double length =
      std::sqrt(keep_limit_) * (1.0 + kError) + kError * (largest_position + largest_offset);
  near_limit_ = std::nextafter(static_cast<float>(length * length * (1.0 + kError)),
                               std::numeric_limits<float>::infinity());
}

// The bounding box of the cell atoms.
bool SphereFilter::set_extent(const AnalysisInput& input) {
  const float* cell[3] = {input.initial.x, input.initial.y, input.initial.z};
  for (int axis = 0; axis < 3; ++axis) {
    const float* p = cell[axis];
    double lowest = p[0];
    double highest = p[0];
    for (int i = 0; i < input.atom_count; ++i) {
      if (!(std::fabs(p[i]) <= kLargestCoordinate)) return false;  // also NaN
      lowest = std::min(lowest, static_cast<double>(p[i]));
      highest = std::max(highest, static_cast<double>(p[i]));
    }
    lowest_[axis] = lowest;
    highest_[axis] = highest;
  }
  return true;
}

// kBinsPerHalfWidth bins per half-width of the box along each axis; fewer, by
// the same factor on every axis, where that would make more than
// kMaxBinsPerAtom bins per cell atom.
void SphereFilter::set_bins(int atom_count) {
  double wanted[3];
  double total = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double range = highest_[axis] - lowest_[axis];
    wanted[axis] = std::clamp(range * kBinsPerHalfWidth[axis] / half_width_[axis], 1.0, 1.0e6);
    total *= wanted[axis];
  }
  const double limit = kMaxBinsPerAtom * atom_count;
  const double shrink = total > limit ? std::cbrt(limit / total) : 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double range = highest_[axis] - lowest_[axis];
    bins_[axis] = static_cast<int>(std::max(1.0, std::ceil(wanted[axis] * shrink)));
    bins_per_unit_[axis] = range > 0.0 ? bins_[axis] / range : 1.0;
  }
}

// A counting sort of the cell atoms by bin, ascending order kept within a bin.
void SphereFilter::build_grid(const AnalysisInput& input) {
  const int count = input.atom_count;
  const float* cell[3] = {input.initial.x, input.initial.y, input.initial.z};
  const int bin_count = bins_[0] * bins_[1] * bins_[2];
  const auto bin_of_atom = [&](int i) {
    return (bin_of(0, cell[0][i]) * bins_[1] + bin_of(1, cell[1][i])) * bins_[2] +
           bin_of(2, cell[2][i]);
  };
  bin_start_.assign(static_cast<std::size_t>(bin_count) + 1, 0);
  for (int i = 0; i < count; ++i) ++bin_start_[bin_of_atom(i) + 1];
  for (int bin = 0; bin < bin_count; ++bin) bin_start_[bin + 1] += bin_start_[bin];
  std::vector<int> next(bin_start_.begin(), bin_start_.end() - 1);
  // The near test reads and writes whole groups of eight.
  slot_base_.assign(static_cast<std::size_t>(count) + 8, 0);
  near_.assign(static_cast<std::size_t>(count) + 8, 0);
  for (auto& p : binned_position_) p.assign(static_cast<std::size_t>(count) + 8, 0.0f);
  for (int i = 0; i < count; ++i) {
    const int k = next[bin_of_atom(i)]++;
    slot_base_[k] = kImageSlots * i;
    for (int axis = 0; axis < 3; ++axis) {
      binned_position_[axis][k] = static_cast<float>(
          cartesian_coordinate(cartesian_, axis, cell[0][i], cell[1][i], cell[2][i]));
    }
  }
  marks_.assign((static_cast<std::size_t>(kImageSlots) * count + 63) / 64, 0);
  // Whole groups of 64 word flags and of 8 group flags.
  const std::size_t groups = (marks_.size() + 63) / 64;
  marked_words_.assign(groups * 64, 0);
  marked_groups_.assign((groups + 7) / 8 * 8, 0);
}

// Marks the near images of the waiting runs.
void SphereFilter::mark_runs() {
  if (run_count_ == 0) return;
  const NearRuns runs{binned_position_[0].data(), binned_position_[1].data(),
                      binned_position_[2].data(), slot_base_.data(), runs_, run_count_};
  int* near = near_.data();
  const int count = find_near_(near_limit_, runs, near);
  run_count_ = 0;
  run_atoms_ = 0;
  std::uint64_t* marks = marks_.data();
  std::uint8_t* marked_words = marked_words_.data();
  std::uint8_t* marked_groups = marked_groups_.data();
  for (int n = 0; n < count; ++n) {
    const int j = near[n];
    marks[j >> 6] |= std::uint64_t{1} << (j & 63);
    marked_words[j >> 6] = 1;
    marked_groups[j >> 12] = 1;
  }
}

}  // namespace wsphere
