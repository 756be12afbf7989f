// RAZMNOJENIE: the block of 27 images of every cell atom, and its two tables.
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#include "analysis/block.hpp"
#include "core/single.hpp"
#include "driver/run.hpp"

namespace wsphere {

namespace {

using textio::Layout;

float shifted(float coordinate, int shift) {
  return round_to_single(static_cast<double>(coordinate) + shift);
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

// A row is  5X,I8,3X,A6,3X,3(F8.5,2X);  its coordinates come rendered as
// F8.5 texts (see CoordinateTexts) and are passed as characters.
constexpr int kCoordinateWidth = 8;
constexpr int kCoordinateDecimals = 5;

const Layout& block_row() {
  static const Layout layout("5X,I8,3X,A6,3X,A8,2X,A8,2X,A8");
  return layout;
}

// The F8.5 texts of the last few values of one coordinate. The 27 images of a
// cell atom take only three values along each axis, so a row mostly reuses
// texts already rendered. Values are matched by their bits: a reused text is
// exactly the one the value renders to, asterisks included.
class CoordinateTexts {
 public:
  // The text of `value`; sets `overflow` when it is asterisks.
  std::string_view text(float value, bool& overflow) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (Entry& entry : entries_) {
      if (entry.used && entry.bits == bits) return found(entry, overflow);
    }
    Entry& entry = entries_[next_];
    next_ = (next_ + 1) % entries_.size();
    entry = Entry{bits, true, false, {}};
    entry.text.fill(' ');
    textio::put_fixed(entry.text.data(), value, kCoordinateWidth, kCoordinateDecimals, entry.overflow);
    return found(entry, overflow);
  }

 private:
  struct Entry {
    std::uint32_t bits;
    bool used;
    bool overflow;
    std::array<char, kCoordinateWidth> text;
  };

  static std::string_view found(const Entry& entry, bool& overflow) {
    overflow = overflow || entry.overflow;
    return {entry.text.data(), entry.text.size()};
  }

  std::array<Entry, 3> entries_{};
  std::size_t next_ = 0;
};

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
  const int count = block_atom_count(state_);
  CoordinateTexts x_texts;
  CoordinateTexts y_texts;
  CoordinateTexts z_texts;
  for (int k = 1; k <= count; ++k) {
    bool overflow = false;  // one message for a row with asterisks, as for any statement
    const std::string_view x = x_texts.text(positions.x(k), overflow);
    const std::string_view y = y_texts.text(positions.y(k), overflow);
    const std::string_view z = z_texts.text(positions.z(k), overflow);
    report_.write(block_row(), {k, bytes_of(block_.block_atom_names(k)), x, y, z}, overflow);
  }
}

}  // namespace wsphere
