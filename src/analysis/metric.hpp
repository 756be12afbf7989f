// Distances between fractional positions in a possibly oblique cell.
#pragma once

#include <cmath>

#include "core/single.hpp"
#include "structure/structure_state.hpp"

namespace wsphere {

// Degrees to radians, as a single-precision constant.
inline constexpr float kDegree = 0.017453292f;

// The six coefficients of squared distances in a cell:
// a², b², c², 2ab·cos γ, 2ac·cos β, 2bc·cos α.
struct CellMetric {
  float aa = 0.0f;
  float bb = 0.0f;
  float cc = 0.0f;
  float ab = 0.0f;
  float ac = 0.0f;
  float bc = 0.0f;
};

CellMetric cell_metric(const Cell& cell);

// Squared length of the fractional difference (dx, dy, dz) under `metric`,
// in double precision and not rounded: each square is rounded to single first,
// then the six terms are summed left to right.
inline double squared_distance(const CellMetric& m, float dx, float dy, float dz) {
  const double x = dx;
  const double y = dy;
  const double z = dz;
  const float dx2 = round_to_single(x * x);
  const float dy2 = round_to_single(y * y);
  const float dz2 = round_to_single(z * z);
  return static_cast<double>(m.aa) * dx2 + static_cast<double>(m.bb) * dy2 +
         static_cast<double>(m.cc) * dz2 + (y * x) * m.ab + (z * x) * m.ac + (z * y) * m.bc;
}

// Raises MathDomainError: the run ends by the math-library path.
[[noreturn]] void sqrt_domain_error();

// Square root that refuses negative numbers and not-a-numbers: they end the run
// by the math-library path. Minus zero is accepted.
inline double checked_sqrt(double value) {
  if (!(value >= 0.0)) [[unlikely]] sqrt_domain_error();
  return std::sqrt(value);
}

}  // namespace wsphere
