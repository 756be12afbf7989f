// The block: the cell repeated 3 x 3 x 3 times, both position sets.
#pragma once

#include "driver/checked_array.hpp"
#include "structure/structure_state.hpp"

namespace wsphere {

inline constexpr int kImagesPerAtom = 27;
inline constexpr int kBlockCapacity = kImagesPerAtom * kCellCapacity;

// Block number of the image of cell atom `atom` shifted by (a, b, c) cell edges,
// each shift -1, 0 or +1: the x shift varies slowest, the z shift fastest.
constexpr int block_number(int atom, int a, int b, int c) {
  return kImagesPerAtom * (atom - 1) + 9 * (a + 1) + 3 * (b + 1) + (c + 1) + 1;
}

// The number of block atoms, 27 x cell_atom_count, or none for a count below
// one: the input may give any negative count, whose loops all run zero times,
// and 27 times a large negative one does not fit an int. (Reading admits at
// most 1000 atoms.)
inline int block_atom_count(const StructureState& state) {
  return state.cell_atom_count < 1 ? 0 : kImagesPerAtom * state.cell_atom_count;
}

struct Block {
  CheckedArray<AtomName, kBlockCapacity> block_atom_names;
  Positions<kBlockCapacity> block_initial_positions;
  Positions<kBlockCapacity> block_minimised_positions;
};

// Fills entries 1 .. 27 x cell_atom_count of `block` from the structure state.
void build_block(const StructureState& state, Block& block);

}  // namespace wsphere
