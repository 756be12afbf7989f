#include "bond_reference.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "companion/geometry.hpp"

namespace wsphere::python {

namespace {

using companion::Atom;
using companion::Vector;

// Bins of the cell along each axis, each at least as wide as the limit's
// reach along that axis, so that a partner lies in a neighbouring bin.
struct Bins {
  std::array<int, 3> count{};
  std::vector<std::vector<int>> atoms;

  int index(int a, int b, int c) const { return (a * count[1] + b) * count[2] + c; }
  int bin_of(double x, int axis) const {
    return std::min(count[axis] - 1, static_cast<int>(x * count[axis]));
  }
};

// Bins along one axis that hold the partners of an atom in bin `home`: at
// most three, without allocating (this runs for every atom of a kind).
struct NearBins {
  std::array<int, 3> bin{};
  int count = 0;
  const int* begin() const { return bin.data(); }
  const int* end() const { return bin.data() + count; }
};

NearBins near_bins(int home, int count) {
  NearBins out;
  if (count <= 3) {
    for (int b = 0; b < count; ++b) out.bin[static_cast<std::size_t>(out.count++)] = b;
    return out;
  }
  for (int step = -1; step <= 1; ++step) out.bin[static_cast<std::size_t>(out.count++)] = (home + step + count) % count;
  return out;
}

}  // namespace

companion::BondMean measured_bond_distance(const companion::Crystal& crystal, const std::vector<std::string>& names,
                                       const std::vector<std::string>& kinds, int kind, double limit) {
  const companion::Metric metric(crystal.cell);
  const std::vector<Atom>& atoms = crystal.atoms;
  // A difference d of fractions is at least |d_k| times the width of the cell
  // across axis k long, so a partner within the limit differs by at most
  // limit / width_k along k. The slack keeps rounding on the safe side.
  const Vector widths = companion::perpendicular_widths(crystal.cell);
  Vector reach{};
  Bins bins;
  for (int k = 0; k < 3; ++k) {
    reach[k] = std::max(limit, 0.0) / widths[k] * (1.0 + 1.0e-9) + 1.0e-12;
    bins.count[k] = reach[k] >= 1.0 ? 1 : std::max(1, std::min(64, static_cast<int>(1.0 / reach[k])));
  }
  bins.atoms.resize(static_cast<std::size_t>(bins.count[0] * bins.count[1] * bins.count[2]));
  for (std::size_t j = 0; j < atoms.size(); ++j) {
    const auto& f = atoms[j].frac;
    bins.atoms[static_cast<std::size_t>(
                   bins.index(bins.bin_of(f[0], 0), bins.bin_of(f[1], 1), bins.bin_of(f[2], 2)))]
        .push_back(static_cast<int>(j));
  }

  double sum = 0.0;
  int count = 0;
  int members = 0;
  std::vector<int> partners;
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const std::vector<int> found = companion::kinds_of_name(names[i], kinds);
    if (std::find(found.begin(), found.end(), kind) == found.end()) continue;
    ++members;
    const auto& p = atoms[i].frac;
    partners.clear();
    for (int a : near_bins(bins.bin_of(p[0], 0), bins.count[0])) {
      for (int b : near_bins(bins.bin_of(p[1], 1), bins.count[1])) {
        for (int c : near_bins(bins.bin_of(p[2], 2), bins.count[2])) {
          const auto& bin = bins.atoms[static_cast<std::size_t>(bins.index(a, b, c))];
          partners.insert(partners.end(), bin.begin(), bin.end());
        }
      }
    }
    // The order of the whole list, as the plain loop adds them.
    std::sort(partners.begin(), partners.end());
    for (int j : partners) {
      const Atom& other = atoms[static_cast<std::size_t>(j)];
      // The image shifts along each axis whose difference stays within
      // reach, tried in the order of the plain loop over the 27 images (x
      // fastest), with the differences it computes.
      std::array<std::array<int, 3>, 3> shifts{};
      std::array<int, 3> kept{};
      for (std::size_t k = 0; k < 3; ++k) {
        for (int t = -1; t <= 1; ++t) {
          if (!(std::fabs(other.frac[k] + t - p[k]) > reach[k])) shifts[k][static_cast<std::size_t>(kept[k]++)] = t;
        }
      }
      for (int c = 0; c < kept[2]; ++c) {
        for (int b = 0; b < kept[1]; ++b) {
          for (int a = 0; a < kept[0]; ++a) {
            const Vector d = {other.frac[0] + shifts[0][static_cast<std::size_t>(a)] - p[0],
                              other.frac[1] + shifts[1][static_cast<std::size_t>(b)] - p[1],
                              other.frac[2] + shifts[2][static_cast<std::size_t>(c)] - p[2]};
            const double distance = metric.length(d);
            if (distance > 1.0e-4 && distance <= limit) {
              sum += distance;
              ++count;
            }
          }
        }
      }
    }
  }
  return {count > 0 ? sum / count : 0.0, count, members};
}

}  // namespace wsphere::python
