#include "companion/bond_search.hpp"

#include "companion/cell_forms.hpp"

namespace wsphere::companion {

NeighbourSearch::NeighbourSearch(const Crystal& crystal, double reach)
    : crystal_(crystal), metric_(crystal.cell), reach_squared_(reach * reach) {
  // A difference d of fractions is at least |d_k| times the width of the cell
  // across axis k long, so a partner within reach differs by at most
  // reach / width_k along k. The slack keeps rounding on the safe side.
  const Vector widths = perpendicular_widths(crystal.cell);
  for (int k = 0; k < 3; ++k) {
    reach_[k] = std::max(reach, 0.0) / widths[k] * (1.0 + 1.0e-9) + 1.0e-12;
    count_[k] = reach_[k] >= 1.0 ? 1 : std::max(1, std::min(64, static_cast<int>(1.0 / reach_[k])));
  }
  const Rows rows = vectors_of(crystal.cell);
  for (int s = 0; s < 27; ++s) {
    const double t[3] = {static_cast<double>(s % 3 - 1), static_cast<double>(s / 3 % 3 - 1),
                         static_cast<double>(s / 9 - 1)};
    for (std::size_t k = 0; k < 3; ++k) {
      shifts_[static_cast<std::size_t>(s)][k] = t[0] * rows[0][k] + t[1] * rows[1][k] + t[2] * rows[2][k];
    }
  }
  for (const Atom& atom : crystal.atoms) {
    Vector r{};
    for (std::size_t k = 0; k < 3; ++k) r[k] = atom.frac[0] * rows[0][k] + atom.frac[1] * rows[1][k] + atom.frac[2] * rows[2][k];
    cartesian_.push_back(r);
  }
  bins_.resize(static_cast<std::size_t>(count_[0] * count_[1] * count_[2]));
  for (std::size_t j = 0; j < crystal.atoms.size(); ++j) {
    const auto& f = crystal.atoms[j].frac;
    bins_[static_cast<std::size_t>(index(bin_of(f[0], 0), bin_of(f[1], 1), bin_of(f[2], 2)))].push_back(
        static_cast<int>(j));
  }
}

// Bins along one axis that hold the partners of an atom in bin `home`: at
// most three, without allocating (this runs for every atom of a kind).
NeighbourSearch::NearBins NeighbourSearch::near_bins(int home, int axis) const {
  NearBins out;
  const int count = count_[axis];
  if (count <= 3) {
    for (int b = 0; b < count; ++b) out.bin[static_cast<std::size_t>(out.count++)] = b;
    return out;
  }
  for (int step = -1; step <= 1; ++step) out.bin[static_cast<std::size_t>(out.count++)] = (home + step + count) % count;
  return out;
}

void NeighbourSearch::partners_of(std::size_t i, std::vector<int>& partners, bool ordered) const {
  const auto& p = crystal_.atoms[i].frac;
  partners.clear();
  const NearBins along_a = near_bins(bin_of(p[0], 0), 0);
  const NearBins along_b = near_bins(bin_of(p[1], 1), 1);
  const NearBins along_c = near_bins(bin_of(p[2], 2), 2);
  for (int x = 0; x < along_a.count; ++x) {
    for (int y = 0; y < along_b.count; ++y) {
      for (int z = 0; z < along_c.count; ++z) {
        const auto& bin = bins_[static_cast<std::size_t>(index(along_a.bin[static_cast<std::size_t>(x)],
                                                                along_b.bin[static_cast<std::size_t>(y)],
                                                                along_c.bin[static_cast<std::size_t>(z)]))];
        partners.insert(partners.end(), bin.begin(), bin.end());
      }
    }
  }
  // The order of the whole list, as the plain loop visits them.
  if (ordered) std::sort(partners.begin(), partners.end());
}

BondMean measured_bond_distance(const Crystal& crystal, const std::vector<std::string>& names,
                                const std::vector<std::string>& kinds, int kind, double limit) {
  const NeighbourSearch search(crystal, limit);
  double sum = 0.0;
  int count = 0;
  int members = 0;
  for (std::size_t i = 0; i < crystal.atoms.size(); ++i) {
    const std::vector<int> found = kinds_of_name(names[i], kinds);
    if (std::find(found.begin(), found.end(), kind) == found.end()) continue;
    ++members;
    search.for_each_near(i, [&](double distance) {
      if (distance > kSelfDistance && distance <= limit) {
        sum += distance;
        ++count;
      }
    });
  }
  return {count > 0 ? sum / count : 0.0, count, members};
}

}  // namespace wsphere::companion
