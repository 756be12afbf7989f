// Distances in an oblique cell.
#pragma once

#include <array>

#include "companion/crystal.hpp"

namespace wsphere::companion {

using Vector = std::array<double, 3>;

// The metric tensor of a cell: squared length of a fractional difference d
// is d . G d. InputError when the six values do not form a cell.
class Metric {
 public:
  explicit Metric(const Cell& cell);
  double length(const Vector& d) const;
  // Length of the shortest lattice translate of d (d - round(d)).
  double periodic_length(Vector d) const;
  double volume() const { return volume_; }

 private:
  double g_[3][3];
  double volume_;
};

// Distances between opposite faces of the cell, along a, b and c.
Vector perpendicular_widths(const Cell& cell);

// x wrapped into [0, 1).
double wrapped(double x);

}  // namespace wsphere::companion
