#include "analysis/analysis_input.hpp"

#include <algorithm>

namespace wsphere {

namespace {

PositionsView view_of(const Positions<kCellCapacity>& positions) {
  return {positions.x.data(), positions.y.data(), positions.z.data()};
}

}  // namespace

AnalysisInput analysis_input(const StructureState& state) {
  AnalysisInput input;
  input.initial_cell = state.initial_cell;
  input.minimised_cell = state.minimised_cell;
  input.sphere_radius = state.sphere_radius;
  input.bond_limit = state.bond_limit;
  input.kind_count = std::max(state.kind_count, 0);
  input.kind_symbols = state.kind_symbols.data();
  // Entries the input did not supply are still zero.
  for (int k = 0; k < 2; ++k) {
    input.compliance_symbols[k] = state.kind_symbols(k + 1);
    input.bond_reference[k] = state.bond_reference(k + 1);
  }
  input.atom_count = std::max(state.cell_atom_count, 0);
  input.names = state.cell_atom_names.data();
  input.initial = view_of(state.initial_positions);
  input.minimised = view_of(state.minimised_positions);
  return input;
}

}  // namespace wsphere
