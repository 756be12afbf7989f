// Distances from an atom to the atoms around it, found through bins of the
// cell instead of by looking at every pair: the reference distance of a kind
// and the shells of neighbours the bond limit is chosen from.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "companion/crystal.hpp"
#include "companion/geometry.hpp"
#include "companion/kinds.hpp"

namespace wsphere::companion {

// The atoms of a cell in bins, each bin at least as wide as `reach` across
// its axis, so that every image within `reach` of an atom lies in a bin next
// to the atom's own. Images are those of the 3 x 3 x 3 block of cells around
// the cell, as wsphere takes them. Coordinates must lie in [0, 1).
class NeighbourSearch {
 public:
  NeighbourSearch(const Crystal& crystal, double reach);

  // Calls visit(distance) for the images of every atom (the atom itself
  // included) that may lie within `reach` of atom i: all that do, and some
  // beyond. They come in the order of the plain loop over the atoms of the
  // list and the 27 images of each (a fastest), with the distances it
  // computes, so that sums over them equal the plain loop's bit for bit.
  template <class Visit>
  void for_each_near(std::size_t i, Visit&& visit) const;

  // Calls visit(distance) for every image within `reach` of atom i (the
  // atom's own images included), in no particular order; the distances are
  // Cartesian ones, which may differ from the metric's in the last bits.
  template <class Visit>
  void for_each_within(std::size_t i, Visit&& visit) const;

 private:
  struct NearBins {
    std::array<int, 3> bin{};
    int count = 0;
  };
  int bin_of(double x, int axis) const { return std::min(count_[axis] - 1, static_cast<int>(x * count_[axis])); }
  int index(int a, int b, int c) const { return (a * count_[1] + b) * count_[2] + c; }
  NearBins near_bins(int home, int axis) const;
  void partners_of(std::size_t i, std::vector<int>& partners, bool ordered) const;

  const Crystal& crystal_;
  Metric metric_;
  double reach_squared_ = 0.0;
  std::vector<Vector> cartesian_;       // of each atom, Angstrom
  std::array<Vector, 27> shifts_{};     // the 27 lattice translates of the block, a fastest
  std::array<double, 3> reach_{};
  std::array<int, 3> count_{};
  std::vector<std::vector<int>> bins_;
  mutable std::vector<int> partners_;
};

template <class Visit>
void NeighbourSearch::for_each_near(std::size_t i, Visit&& visit) const {
  const std::vector<Atom>& atoms = crystal_.atoms;
  const auto& p = atoms[i].frac;
  partners_of(i, partners_, true);
  for (int j : partners_) {
    const Atom& other = atoms[static_cast<std::size_t>(j)];
    // The image shifts along each axis whose difference stays within reach,
    // in the order of the plain loop, with the differences it computes.
    std::array<std::array<int, 3>, 3> shifts{};
    std::array<int, 3> kept{};
    for (std::size_t k = 0; k < 3; ++k) {
      for (int t = -1; t <= 1; ++t) {
        if (!(std::fabs(other.frac[k] + t - p[k]) > reach_[k])) shifts[k][static_cast<std::size_t>(kept[k]++)] = t;
      }
    }
    for (int c = 0; c < kept[2]; ++c) {
      for (int b = 0; b < kept[1]; ++b) {
        for (int a = 0; a < kept[0]; ++a) {
          const Vector d = {other.frac[0] + shifts[0][static_cast<std::size_t>(a)] - p[0],
                            other.frac[1] + shifts[1][static_cast<std::size_t>(b)] - p[1],
                            other.frac[2] + shifts[2][static_cast<std::size_t>(c)] - p[2]};
          visit(metric_.length(d));
        }
      }
    }
  }
}

template <class Visit>
void NeighbourSearch::for_each_within(std::size_t i, Visit&& visit) const {
  const auto& p = crystal_.atoms[i].frac;
  const Vector& origin = cartesian_[i];
  partners_of(i, partners_, false);
  for (int j : partners_) {
    const auto& q = crystal_.atoms[static_cast<std::size_t>(j)].frac;
    const Vector& other = cartesian_[static_cast<std::size_t>(j)];
    const Vector d = {other[0] - origin[0], other[1] - origin[1], other[2] - origin[2]};
    for (int c = 0; c < 3; ++c) {
      if (std::fabs(q[2] + (c - 1) - p[2]) > reach_[2]) continue;
      for (int b = 0; b < 3; ++b) {
        if (std::fabs(q[1] + (b - 1) - p[1]) > reach_[1]) continue;
        for (int a = 0; a < 3; ++a) {
          if (std::fabs(q[0] + (a - 1) - p[0]) > reach_[0]) continue;
          const Vector& shift = shifts_[static_cast<std::size_t>(a + 3 * b + 9 * c)];
          const double x = d[0] + shift[0];
          const double y = d[1] + shift[1];
          const double z = d[2] + shift[2];
          const double squared = x * x + y * y + z * z;
          if (squared <= reach_squared_) visit(std::sqrt(squared));
        }
      }
    }
  }
}

// Equals mean_bond_distance (kinds.hpp) bit for bit: the same distances,
// added in the same order.
BondMean measured_bond_distance(const Crystal& crystal, const std::vector<std::string>& names,
                                const std::vector<std::string>& kinds, int kind, double limit);

// Two images closer than this (Angstrom) are one atom, not neighbours.
inline constexpr double kSelfDistance = 1.0e-4;

}  // namespace wsphere::companion
