// RAZMNOJENIE: the block of 27 images of every cell atom, and its two tables.
#include "analysis/block.hpp"
#include "driver/run.hpp"

namespace wsphere {

namespace {

using textio::Layout;

float shifted(float coordinate, int shift) {
  return static_cast<float>(static_cast<double>(coordinate) + shift);
}

const Layout& block_initial_title() {
  static const Layout layout(
      R"(/,/,"-------------  Координаты размноженных атомов (до GULPa)    --------------------")");
  return layout;
}

const Layout& block_minimised_title() {
  static const Layout layout(
      R"(/,/,"-------------  Координаты размноженных атомов  (после GULPa)   --------------------")");
  return layout;
}

const Layout& block_row() {
  static const Layout layout("5X,I8,3X,A6,3X,3(F8.5,2X)");
  return layout;
}

}  // namespace

void build_block(const StructureState& state, Block& block) {
  int k = 0;
  for (int i = 1; i <= state.cell_atom_count; ++i) {
    for (int a = -1; a <= 1; ++a) {
      for (int b = -1; b <= 1; ++b) {
        for (int c = -1; c <= 1; ++c) {
          ++k;
          block.block_initial_positions.x(k) = shifted(state.initial_positions.x(i), a);
          block.block_initial_positions.y(k) = shifted(state.initial_positions.y(i), b);
          block.block_initial_positions.z(k) = shifted(state.initial_positions.z(i), c);
          block.block_minimised_positions.x(k) = shifted(state.minimised_positions.x(i), a);
          block.block_minimised_positions.y(k) = shifted(state.minimised_positions.y(i), b);
          block.block_minimised_positions.z(k) = shifted(state.minimised_positions.z(i), c);
          block.block_atom_names(k) = state.cell_atom_names(i);
        }
      }
    }
  }
}

void Run::RAZMNOJENIE() {
  build_block(state_, block_);
  if (state_.print_block_initial == 1) {
    write_block_table(block_initial_title(), block_.block_initial_positions);
  }
  if (state_.print_block_minimised == 1) {
    write_block_table(block_minimised_title(), block_.block_minimised_positions);
  }
}

void Run::write_block_table(const Layout& title, const Positions<kBlockCapacity>& positions) {
  report_.write(title);
  const int count = kImagesPerAtom * state_.cell_atom_count;
  for (int k = 1; k <= count; ++k) {
    report_.write(block_row(), {k, bytes_of(block_.block_atom_names(k)), positions.x(k),
                                positions.y(k), positions.z(k)});
  }
}

}  // namespace wsphere
