// The block: the cell repeated 3 x 3 x 3 times, both position sets, sized to
// the number of cell atoms.
#pragma once

#include "analysis/analysis_input.hpp"
#include "core/checked_vector.hpp"
#include "core/single.hpp"

namespace wsphere {

inline constexpr int kImagesPerAtom = 27;

// Block number of the image of cell atom `atom` shifted by (a, b, c) cell edges,
// each shift -1, 0 or +1: the x shift varies slowest, the z shift fastest.
constexpr int block_number(int atom, int a, int b, int c) {
  return kImagesPerAtom * (atom - 1) + 9 * (a + 1) + 3 * (b + 1) + (c + 1) + 1;
}

// The cell atom (1-based) of block atom `k`.
constexpr int cell_atom_of(int k) { return (k - 1) / kImagesPerAtom + 1; }

// A block coordinate: the cell atom's coordinate shifted by whole cells.
inline float shifted_coordinate(float coordinate, int shift) {
  return round_to_single(static_cast<double>(coordinate) + shift);
}

// The shifts of image `image` (0 .. 26) along x, y and z.
struct ImageShifts {
  int a;
  int b;
  int c;
};
constexpr ImageShifts image_shifts(int image) { return {image / 9 - 1, image / 3 % 3 - 1, image % 3 - 1}; }

// Block positions, entries 1 .. 27 x the cell atom count.
struct BlockPositions {
  CheckedVector<float> x;
  CheckedVector<float> y;
  CheckedVector<float> z;
};

struct Block {
  int atom_count = 0;  // 27 x the cell atom count
  CheckedVector<AtomName> block_atom_names;
  BlockPositions block_initial_positions;
  BlockPositions block_minimised_positions;
};

// Legacy name: RAZMNOJENIE (its computing part). Fills `block` with the 27
// images of every cell atom of `input`, in block-number order.
void build_block(const AnalysisInput& input, Block& block);

}  // namespace wsphere
