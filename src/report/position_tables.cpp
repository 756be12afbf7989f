#include "report/position_tables.hpp"

namespace wsphere {

namespace {

using textio::Layout;

const Layout& title_of(PositionTable table) {
  static const Layout initial(
      R"(/,/,"-----------     Координаты исходных атомов  ---------------------")");
  static const Layout minimised(
      R"(/,/,"-----------     Координаты исходных атомов  после GULP  ---------------------")");
  static const Layout corrected(
      R"(/,/,"-----------     Исправленные координаты  атомов (после GULP ) ---------------------")");
  switch (table) {
    case PositionTable::initial: return initial;
    case PositionTable::minimised: return minimised;
    case PositionTable::corrected: break;
  }
  return corrected;
}

const Layout& position_row() {
  static const Layout layout("5X,I4,3X,A6,3X,3(F8.5,2X)");
  return layout;
}

}  // namespace

void write_position_table(textio::ReportWriter& report, PositionTable table,
                          const StructureState& state, const Positions<kCellCapacity>& positions) {
  report.write(title_of(table));
  for (int i = 1; i <= state.cell_atom_count; ++i) {
    report.write(position_row(), {i, bytes_of(state.cell_atom_names(i)), positions.x(i),
                                  positions.y(i), positions.z(i)});
  }
}

}  // namespace wsphere
