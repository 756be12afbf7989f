// The library's one call (include/wsphere/analysis.hpp): the public structure
// and settings become the analysis's view, and its results the public ones.
#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analyse_spheres.hpp"
#include "analysis/atom_results.hpp"
#include "analysis/kind_lists.hpp"
#include "structure/coordinate_correction.hpp"
#include "wsphere/analysis.hpp"

namespace wsphere {

namespace {

// Blank-padded to N characters, longer text cut, as the reader stores it.
template <std::size_t N>
std::array<char, N> padded(std::string_view text) {
  std::array<char, N> bytes;
  bytes.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), N), bytes.begin());
  return bytes;
}

// The analysis's storage for one structure: names and positions by axis.
struct AtomColumns {
  std::vector<AtomName> names;
  std::vector<float> initial[3];
  std::vector<float> minimised[3];
  std::vector<KindSymbol> symbols;

  AtomColumns(const Structure& structure, const Settings& settings);
};

AtomColumns::AtomColumns(const Structure& structure, const Settings& settings) {
  for (const std::string& name : structure.names) names.push_back(padded<6>(name));
  for (const Fractional& p : structure.initial_positions) {
    initial[0].push_back(p.x);
    initial[1].push_back(p.y);
    initial[2].push_back(p.z);
  }
  for (std::size_t i = 0; i < structure.minimised_positions.size(); ++i) {
    const Fractional& p = structure.minimised_positions[i];
    minimised[0].push_back(corrected_coordinate(initial[0][i], p.x));
    minimised[1].push_back(corrected_coordinate(initial[1][i], p.y));
    minimised[2].push_back(corrected_coordinate(initial[2][i], p.z));
  }
  for (const Kind& kind : settings.kinds) symbols.push_back(padded<2>(kind.symbol));
}

AnalysisInput input_of(const Structure& structure, const Settings& settings,
                       const AtomColumns& columns) {
  AnalysisInput input;
  input.initial_cell = structure.initial_cell;
  input.minimised_cell = structure.minimised_cell;
  input.sphere_radius = settings.sphere_radius;
  input.bond_limit = settings.bond_limit;
  input.kind_count = static_cast<int>(columns.symbols.size());
  input.kind_symbols = columns.symbols.data();
  // As in input.txt, every kind but the last has a reference.
  for (int k = 0; k < 2 && k < input.kind_count; ++k) {
    input.compliance_symbols[k] = columns.symbols[k];
    if (k < input.kind_count - 1) input.bond_reference[k] = settings.kinds[k].bond_reference;
  }
  input.atom_count = static_cast<int>(columns.names.size());
  input.names = columns.names.data();
  input.initial = {columns.initial[0].data(), columns.initial[1].data(), columns.initial[2].data()};
  input.minimised = {columns.minimised[0].data(), columns.minimised[1].data(),
                     columns.minimised[2].data()};
  return input;
}

void check_lengths(const Structure& structure) {
  const std::size_t count = structure.names.size();
  if (structure.initial_positions.size() != count || structure.minimised_positions.size() != count) {
    throw std::invalid_argument("wsphere::analyse: names and both position lists differ in length");
  }
}

std::vector<AtomResult> atom_results(const AnalysisResults& results) {
  std::vector<AtomResult> atoms(static_cast<std::size_t>(results.w_values.size()));
  for (int i = 1; i <= results.w_values.size(); ++i) {
    AtomResult& atom = atoms[i - 1];
    atom.w = results.w_values(i);
    atom.compliance = results.compliance(i);
    atom.member_count = results.member_count(i);
    atom.bonded_count = results.bonded_count(i);
  }
  return atoms;
}

// Per-kind statistics, and each atom's first kind; after order_by_w.
void add_kinds(const Settings& settings, const AnalysisInput& input,
               const AnalysisResults& ordered, Results& results) {
  for (int m = 1; m <= input.kind_count; ++m) {
    const KindList list = kind_list(input, ordered, m);
    const KindStatistics statistics = kind_statistics(list.w.data(), static_cast<int>(list.w.size()));
    results.kinds.push_back({settings.kinds[m - 1].symbol, static_cast<int>(list.places.size()),
                             statistics.mean, statistics.sigma});
    for (int k : list.places) {
      AtomResult& atom = results.atoms[ordered.atom_order(k) - 1];
      if (atom.kind < 0) atom.kind = m - 1;
    }
  }
}

}  // namespace

Results analyse(const Structure& structure, const Settings& settings) {
  check_lengths(structure);
  const AtomColumns columns(structure, settings);
  const AnalysisInput input = input_of(structure, settings, columns);
  AnalysisResults computed;
  analyse_spheres(input, computed, nullptr, no_interrupt_poll, settings.threads);
  Results results;
  results.atoms = atom_results(computed);
  order_by_w(computed);
  for (int k = 1; k <= input.atom_count; ++k) results.w_order.push_back(computed.atom_order(k) - 1);
  add_kinds(settings, input, computed, results);
  return results;
}

}  // namespace wsphere
