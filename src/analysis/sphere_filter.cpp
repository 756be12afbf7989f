#include "analysis/sphere_filter.hpp"

#include <algorithm>
#include <cmath>

namespace wsphere {

namespace {

// The filter's error bounds hold for cells no more oblique than this: every
// eigenvalue of the metric above its largest diagonal entry / kMaxSpread. The
// rounding of the pass then changes a squared distance by less than 0.1 %.
constexpr double kMaxSpread = 1.0e4;
// Half-widths are widened by this factor and this many fractional units.
constexpr double kRelativeMargin = 1.01;
constexpr double kAbsoluteMargin = 1.0e-9;
// Bounds that keep squared distances inside the normal single-precision range.
constexpr double kSmallestDiagonal = 1.0e-6;
constexpr double kLargestDiagonal = 1.0e20;
constexpr double kLargestCoordinate = 1.0e3;
// Bins per axis: about two per half-width, at most this many.
constexpr int kMaxBinsPerAxis = 32;

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
double inverse_diagonal(const Matrix3& g, int axis) {
  const int p = (axis + 1) % 3;
  const int q = (axis + 2) % 3;
  return (g.m[p][p] * g.m[q][q] - g.m[p][q] * g.m[q][p]) / determinant(g);
}

}  // namespace

SphereFilter::SphereFilter(const SphereSetup& setup, const StructureState& state,
                           const Block& block, double max_box_share) {
  const int count = checked_block_count(state);
  position_[0] = block.block_initial_positions.x.data();
  position_[1] = block.block_initial_positions.y.data();
  position_[2] = block.block_initial_positions.z.data();
  if (count == 0 || !set_half_widths(setup.initial_metric, setup.sphere_radius_sq) ||
      !set_extent(count)) {
    return;
  }
  double box_share = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double range = bins_[axis] / bins_per_unit_[axis];
    box_share *= std::min(1.0, 2.0 * half_width_[axis] / range);
  }
  if (box_share > max_box_share) return;
  build_grid(count);
  usable_ = true;
}

bool SphereFilter::set_half_widths(const CellMetric& metric, float sphere_radius_sq) {
  if (!all_finite(metric) || !std::isfinite(sphere_radius_sq)) return false;
  const Matrix3 g = metric_matrix(metric);
  const double largest = std::max({g.m[0][0], g.m[1][1], g.m[2][2]});
  if (!(largest >= kSmallestDiagonal && largest <= kLargestDiagonal)) return false;
  Matrix3 shifted = g;
  for (int axis = 0; axis < 3; ++axis) shifted.m[axis][axis] -= largest / kMaxSpread;
  if (!positive_definite(shifted)) return false;
  for (int axis = 0; axis < 3; ++axis) {
    const double inverse = inverse_diagonal(g, axis);
    if (!(inverse > 0.0)) return false;
    half_width_[axis] =
        std::sqrt(static_cast<double>(sphere_radius_sq) * inverse) * kRelativeMargin +
        kAbsoluteMargin;
  }
  return true;
}

// The bounding box of the block and the bins along each axis.
bool SphereFilter::set_extent(int count) {
  for (int axis = 0; axis < 3; ++axis) {
    const float* p = position_[axis];
    double lowest = p[0];
    double highest = p[0];
    for (int j = 0; j < count; ++j) {
      if (!(std::fabs(p[j]) <= kLargestCoordinate)) return false;  // also NaN
      lowest = std::min(lowest, static_cast<double>(p[j]));
      highest = std::max(highest, static_cast<double>(p[j]));
    }
    const double range = highest - lowest;
    const double wanted = std::ceil(range / (0.5 * half_width_[axis]));
    bins_[axis] = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(kMaxBinsPerAxis)));
    lowest_[axis] = lowest;
    bins_per_unit_[axis] = range > 0.0 ? bins_[axis] / range : 1.0;
  }
  return true;
}

// Bin of a coordinate along one axis; monotone in the coordinate, so a range of
// coordinates maps onto the range of bins between its ends.
int SphereFilter::bin_of(int axis, double coordinate) const {
  const double scaled = std::floor((coordinate - lowest_[axis]) * bins_per_unit_[axis]);
  return static_cast<int>(std::clamp(scaled, 0.0, static_cast<double>(bins_[axis] - 1)));
}

SphereFilter::Span SphereFilter::bins_round(int axis, double centre) const {
  return {bin_of(axis, centre - half_width_[axis]), bin_of(axis, centre + half_width_[axis])};
}

// A counting sort of the block atoms by bin, ascending block order kept within a bin.
void SphereFilter::build_grid(int count) {
  const int bin_count = bins_[0] * bins_[1] * bins_[2];
  std::vector<int> bin_of_atom(static_cast<std::size_t>(count));
  bin_start_.assign(static_cast<std::size_t>(bin_count) + 1, 0);
  for (int j = 0; j < count; ++j) {
    const int bin = (bin_of(0, position_[0][j]) * bins_[1] + bin_of(1, position_[1][j])) * bins_[2] +
                    bin_of(2, position_[2][j]);
    bin_of_atom[j] = bin;
    ++bin_start_[bin + 1];
  }
  for (int bin = 0; bin < bin_count; ++bin) bin_start_[bin + 1] += bin_start_[bin];
  std::vector<int> next(bin_start_.begin(), bin_start_.end() - 1);
  binned_atom_.resize(static_cast<std::size_t>(count));
  for (auto& p : binned_position_) p.resize(static_cast<std::size_t>(count));
  for (int j = 0; j < count; ++j) {
    const int k = next[bin_of_atom[j]]++;
    binned_atom_[k] = j;
    for (int axis = 0; axis < 3; ++axis) binned_position_[axis][k] = position_[axis][j];
  }
  marks_.assign(static_cast<std::size_t>((count + 63) / 64), 0);
}

void SphereFilter::mark_bin(int bin, const double (&low)[3], const double (&high)[3]) {
  const float* x = binned_position_[0].data();
  const float* y = binned_position_[1].data();
  const float* z = binned_position_[2].data();
  for (int k = bin_start_[bin]; k < bin_start_[bin + 1]; ++k) {
    if (x[k] < low[0] || x[k] > high[0] || y[k] < low[1] || y[k] > high[1] || z[k] < low[2] ||
        z[k] > high[2]) {
      continue;
    }
    const int j = binned_atom_[k];
    const int word = j >> 6;
    marks_[word] |= std::uint64_t{1} << (j & 63);
    first_word_ = std::min(first_word_, word);
    last_word_ = std::max(last_word_, word);
  }
}

}  // namespace wsphere
