#include "analysis/block.hpp"

namespace wsphere {

namespace {

void size_positions(BlockPositions& positions, int count) {
  positions.x.assign(count);
  positions.y.assign(count);
  positions.z.assign(count);
}

}  // namespace

void build_block(const AnalysisInput& input, Block& block) {
  const int count = kImagesPerAtom * input.atom_count;
  block.atom_count = count;
  block.block_atom_names.assign(count);
  size_positions(block.block_initial_positions, count);
  size_positions(block.block_minimised_positions, count);
  const PositionsView& initial = input.initial;
  const PositionsView& minimised = input.minimised;
  int k = 0;
  for (int i = 0; i < input.atom_count; ++i) {
    for (int a = -1; a <= 1; ++a) {
      for (int b = -1; b <= 1; ++b) {
        for (int c = -1; c <= 1; ++c) {
          ++k;
          block.block_initial_positions.x(k) = shifted_coordinate(initial.x[i], a);
          block.block_initial_positions.y(k) = shifted_coordinate(initial.y[i], b);
          block.block_initial_positions.z(k) = shifted_coordinate(initial.z[i], c);
          block.block_minimised_positions.x(k) = shifted_coordinate(minimised.x[i], a);
          block.block_minimised_positions.y(k) = shifted_coordinate(minimised.y[i], b);
          block.block_minimised_positions.z(k) = shifted_coordinate(minimised.z[i], c);
          block.block_atom_names(k) = input.names[i];
        }
      }
    }
  }
}

}  // namespace wsphere
