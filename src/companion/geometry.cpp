#include "companion/geometry.hpp"

#include <cmath>
#include <numbers>

namespace wsphere::companion {

namespace {

double cosine(double degrees) { return std::cos(degrees * std::numbers::pi / 180.0); }
double sine(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }

double volume_of(const Cell& cell) {
  const double ca = cosine(cell.alpha);
  const double cb = cosine(cell.beta);
  const double cg = cosine(cell.gamma);
  const double q = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
  if (!(cell.a > 0.0 && cell.b > 0.0 && cell.c > 0.0) || !(q > 0.0)) {
    throw InputError("the cell parameters do not form a cell");
  }
  return cell.a * cell.b * cell.c * std::sqrt(q);
}

}  // namespace

Metric::Metric(const Cell& cell) : volume_(volume_of(cell)) {
  const double edges[3] = {cell.a, cell.b, cell.c};
  const double cosines[3][3] = {{1.0, cosine(cell.gamma), cosine(cell.beta)},
                                {cosine(cell.gamma), 1.0, cosine(cell.alpha)},
                                {cosine(cell.beta), cosine(cell.alpha), 1.0}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) g_[i][j] = edges[i] * edges[j] * cosines[i][j];
  }
}

double Metric::length(const Vector& d) const {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) sum += d[i] * g_[i][j] * d[j];
  }
  return std::sqrt(sum > 0.0 ? sum : 0.0);
}

double Metric::periodic_length(Vector d) const {
  for (double& x : d) x -= std::round(x);
  return length(d);
}

Vector perpendicular_widths(const Cell& cell) {
  const double volume = volume_of(cell);
  return {volume / (cell.b * cell.c * sine(cell.alpha)), volume / (cell.a * cell.c * sine(cell.beta)),
          volume / (cell.a * cell.b * sine(cell.gamma))};
}

double wrapped(double x) {
  const double w = x - std::floor(x);
  return w >= 1.0 ? 0.0 : w;
}

}  // namespace wsphere::companion
