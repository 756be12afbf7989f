#include "report/block_tables.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

namespace wsphere {

namespace {

using textio::Layout;

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

const Layout& title_of(BlockTable table) {
  return table == BlockTable::initial ? block_initial_title() : block_minimised_title();
}

}  // namespace

void write_block_table(textio::ReportWriter& report, BlockTable table, const Block& block) {
  const BlockPositions& positions = table == BlockTable::initial ? block.block_initial_positions
                                                                 : block.block_minimised_positions;
  report.write(title_of(table));
  CoordinateTexts x_texts;
  CoordinateTexts y_texts;
  CoordinateTexts z_texts;
  for (int k = 1; k <= block.atom_count; ++k) {
    bool overflow = false;  // one message for a row with asterisks, as for any statement
    const std::string_view x = x_texts.text(positions.x(k), overflow);
    const std::string_view y = y_texts.text(positions.y(k), overflow);
    const std::string_view z = z_texts.text(positions.z(k), overflow);
    report.write(block_row(), {k, bytes_of(block.block_atom_names(k)), x, y, z}, overflow);
  }
}

}  // namespace wsphere
