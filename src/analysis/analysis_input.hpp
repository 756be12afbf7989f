// What the analysis reads: the two cells, the settings, the kinds and the cell
// atoms, as a view of storage that the caller owns. The program's structure
// state and the library's structure both hand their data over this way, so
// the analysis has no capacity of its own.
#pragma once

#include "structure/structure_state.hpp"

namespace wsphere {

// Fractional coordinates of atoms 0 .. count-1, one array per axis.
struct PositionsView {
  const float* x = nullptr;
  const float* y = nullptr;
  const float* z = nullptr;
};

struct AnalysisInput {
  Cell initial_cell;
  Cell minimised_cell;
  float sphere_radius = 0.0f;
  float bond_limit = 0.0f;

  // kind_symbols[0 .. kind_count-1]; a count below 1 means no kinds.
  int kind_count = 0;
  const KindSymbol* kind_symbols = nullptr;
  // Symbols and references of the first two kinds, which the compliance uses:
  // zero bytes and 0.0 where the input has none.
  KindSymbol compliance_symbols[2] = {};
  float bond_reference[2] = {0.0f, 0.0f};

  // Cell atoms 0 .. atom_count-1; the minimised positions already corrected.
  int atom_count = 0;
  const AtomName* names = nullptr;
  PositionsView initial;
  PositionsView minimised;
};

// The view of a structure state read from input.txt.
AnalysisInput analysis_input(const StructureState& state);

}  // namespace wsphere
