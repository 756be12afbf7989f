#include "companion/expansion.hpp"

#include <algorithm>
#include <cctype>

#include <gemmi/symmetry.hpp>

#include "companion/geometry.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

// Cubic groups may be written in the older notation without the bar over the
// 3 ("F M 3 M" for F m -3 m): a lone 3 after a mirror or glide letter.
std::string with_cubic_bar(const std::string& name) {
  std::vector<std::string> words = split_words(name);
  for (std::size_t k = 2; k < words.size(); ++k) {
    if (words[k] == "3" && words[k - 1].size() == 1 && std::isalpha(static_cast<unsigned char>(words[k - 1][0]))) {
      words[k] = "-3";
    }
  }
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

const gemmi::SpaceGroup* find_group(const std::string& name, const Cell& cell) {
  const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(name, cell.alpha, cell.gamma);
  if (group != nullptr) return group;
  return gemmi::find_spacegroup_by_name(with_cubic_bar(name), cell.alpha, cell.gamma);
}

std::vector<gemmi::Op> operations_of(const SourceState& state) {
  const Symmetry& symmetry = state.symmetry;
  std::vector<gemmi::Op> operations;
  try {
    if (!symmetry.triplets.empty()) {
      for (const std::string& triplet : symmetry.triplets) operations.push_back(gemmi::parse_triplet(triplet));
      return operations;
    }
    if (!symmetry.hall.empty()) {
      for (const gemmi::Op& op : gemmi::symops_from_hall(symmetry.hall.c_str())) operations.push_back(op);
      return operations;
    }
  } catch (const std::exception& failure) {
    throw InputError(state.file + ": symmetry operations: " + failure.what());
  }
  if (symmetry.name.empty()) return {gemmi::Op::identity()};
  const gemmi::SpaceGroup* group = find_group(symmetry.name, state.cell);
  if (group == nullptr) {
    throw InputError(state.file + ": unknown space group \"" + symmetry.name + "\"");
  }
  for (const gemmi::Op& op : group->operations()) operations.push_back(op);
  return operations;
}

Metric metric_of(const SourceState& state) {
  try {
    return Metric(state.cell);
  } catch (const InputError& failure) {
    throw InputError(state.file + ": " + failure.what());
  }
}

}  // namespace

Crystal expand(const SourceState& state) {
  const Metric metric = metric_of(state);
  const std::vector<gemmi::Op> operations = operations_of(state);
  Crystal crystal{state.file, state.cell, {}};
  for (const Atom& atom : state.atoms) {
    const std::size_t first_image = crystal.atoms.size();
    for (const gemmi::Op& op : operations) {
      const std::array<double, 3> moved = op.apply_to_xyz(atom.frac);
      Atom image{atom.element, atom.origin, {wrapped(moved[0]), wrapped(moved[1]), wrapped(moved[2])}};
      const bool seen = std::any_of(
          crystal.atoms.begin() + static_cast<std::ptrdiff_t>(first_image), crystal.atoms.end(),
          [&](const Atom& other) {
            const Vector d = {image.frac[0] - other.frac[0], image.frac[1] - other.frac[1],
                              image.frac[2] - other.frac[2]};
            return metric.periodic_length(d) < kSamePositionTolerance;
          });
      if (!seen) crystal.atoms.push_back(image);
    }
  }
  return crystal;
}

Crystal replicate(const Crystal& crystal, const std::array<int, 3>& n) {
  if (n == std::array<int, 3>{1, 1, 1}) return crystal;
  Crystal bigger{crystal.file, crystal.cell, {}};
  bigger.cell.a *= n[0];
  bigger.cell.b *= n[1];
  bigger.cell.c *= n[2];
  for (const Atom& atom : crystal.atoms) {
    for (int i = 0; i < n[0]; ++i) {
      for (int j = 0; j < n[1]; ++j) {
        for (int k = 0; k < n[2]; ++k) {
          Atom image = atom;
          image.frac = {(atom.frac[0] + i) / n[0], (atom.frac[1] + j) / n[1], (atom.frac[2] + k) / n[2]};
          image.origin += " image " + std::to_string(i) + "," + std::to_string(j) + "," + std::to_string(k);
          bigger.atoms.push_back(image);
        }
      }
    }
  }
  return bigger;
}

}  // namespace wsphere::companion
