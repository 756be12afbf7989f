#include "analysis/metric.hpp"

#include <cmath>

#include "core/single.hpp"
#include "core/condition.hpp"

namespace wsphere {

namespace {

float square(float edge) { return round_to_single(static_cast<double>(edge) * edge); }

// (e1·2.0·e2, rounded to single) · cos(angle·k), rounded to single.
float cross_term(float edge1, float edge2, float angle) {
  const float doubled = round_to_single(static_cast<double>(edge1) * 2.0 * edge2);
  return round_to_single(doubled * std::cos(static_cast<double>(angle) * kDegree));
}

}  // namespace

CellMetric cell_metric(const Cell& cell) {
  return {square(cell.a),
          square(cell.b),
          square(cell.c),
          cross_term(cell.a, cell.b, cell.gamma),
          cross_term(cell.a, cell.c, cell.beta),
          cross_term(cell.b, cell.c, cell.alpha)};
}

void sqrt_domain_error() { throw MathDomainError(); }

}  // namespace wsphere
