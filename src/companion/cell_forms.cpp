#include "companion/cell_forms.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wsphere::companion {

namespace {

using Metric3 = std::array<std::array<double, 3>, 3>;
using Matrix = std::array<std::array<int, 3>, 3>;

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double cosine(double angle) { return std::cos(angle * std::numbers::pi / 180.0); }

Metric3 metric_of(const Cell& c) {
  const double e[3] = {c.a, c.b, c.c};
  const double cosines[3][3] = {{1.0, cosine(c.gamma), cosine(c.beta)},
                                {cosine(c.gamma), 1.0, cosine(c.alpha)},
                                {cosine(c.beta), cosine(c.alpha), 1.0}};
  Metric3 g{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) g[i][j] = e[i] * e[j] * cosines[i][j];
  }
  return g;
}

Cell cell_of_metric(const Metric3& g) {
  const double a = std::sqrt(g[0][0]);
  const double b = std::sqrt(g[1][1]);
  const double c = std::sqrt(g[2][2]);
  return {a, b, c, degrees(std::acos(g[1][2] / (b * c))), degrees(std::acos(g[0][2] / (a * c))),
          degrees(std::acos(g[0][1] / (a * b)))};
}

// M G M^T.
Metric3 transformed(const Metric3& g, const Matrix& m) {
  Metric3 out{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 3; ++k) {
        for (int l = 0; l < 3; ++l) sum += m[i][k] * g[k][l] * m[j][l];
      }
      out[i][j] = sum;
    }
  }
  return out;
}

int determinant(const Matrix& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

bool close(const Metric3& g, const Metric3& h, double scale) {
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      if (std::fabs(g[i][j] - h[i][j]) > 1.0e-4 * scale) return false;
    }
  }
  return true;
}

// One row of a candidate: entries -1, 0, 1 from a number 0..26.
std::array<int, 3> row_of(int code) { return {code % 3 - 1, code / 3 % 3 - 1, code / 9 - 1}; }

}  // namespace

Cell cell_of_vectors(const Rows& v) {
  Metric3 g{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) g[i][j] = v[i][0] * v[j][0] + v[i][1] * v[j][1] + v[i][2] * v[j][2];
  }
  return cell_of_metric(g);
}

Rows vectors_of(const Cell& c) {
  const double ca = cosine(c.alpha);
  const double cb = cosine(c.beta);
  const double cg = cosine(c.gamma);
  const double sg = std::sin(c.gamma * std::numbers::pi / 180.0);
  const double cx = c.c * cb;
  const double cy = c.c * (ca - cb * cg) / sg;
  const double cz = std::sqrt(std::max(c.c * c.c - cx * cx - cy * cy, 0.0));
  return {{{c.a, 0.0, 0.0}, {c.b * cg, c.b * sg, 0.0}, {cx, cy, cz}}};
}

std::optional<Matrix> centring_matrix(const Cell& primitive, const Cell& full) {
  const Metric3 p = metric_of(primitive);
  const Metric3 f = metric_of(full);
  const double scale = std::max({f[0][0], f[1][1], f[2][2]});
  // Each row alone must give the right edge length and the right angles
  // with the rows before it: the search stays small.
  std::array<std::array<int, 3>, 3> m{};
  for (int r0 = 0; r0 < 27; ++r0) {
    m[0] = row_of(r0);
    if (std::fabs(transformed(p, m)[0][0] - f[0][0]) > 1.0e-4 * scale) continue;
    for (int r1 = 0; r1 < 27; ++r1) {
      m[1] = row_of(r1);
      const Metric3 two = transformed(p, m);
      if (std::fabs(two[1][1] - f[1][1]) > 1.0e-4 * scale || std::fabs(two[0][1] - f[0][1]) > 1.0e-4 * scale) continue;
      for (int r2 = 0; r2 < 27; ++r2) {
        m[2] = row_of(r2);
        if (determinant(m) > 0 && close(transformed(p, m), f, scale)) return m;
      }
    }
  }
  return std::nullopt;
}

Cell full_cell(const Cell& primitive, const Matrix& matrix) {
  return cell_of_metric(transformed(metric_of(primitive), matrix));
}

}  // namespace wsphere::companion
