// The correction of minimised coordinates that jumped across a cell face during
// the minimisation.
#pragma once

#include "structure/structure_state.hpp"

namespace wsphere {

// Brings a minimised coordinate that jumped across a cell face back next to its
// initial coordinate: one cell edge down when it moved up by more than half an
// edge, one edge up when it moved down by more than half an edge.
float corrected_coordinate(float initial, float minimised);

// Corrects every minimised coordinate of cell atoms 1 .. cell_atom_count.
void correct_minimised_positions(StructureState& state);

}  // namespace wsphere
