// OPEN_READ: opens both files, reads input.txt into the structure state, writes
// the coordinate tables of the input and corrects the minimised coordinates.
#include <cstdint>

#include "driver/interrupt.hpp"
#include "driver/run.hpp"

namespace wsphere {

namespace {

using textio::Layout;

const Layout& initial_title() {
  static const Layout layout(
      R"(/,/,"-----------     Координаты исходных атомов  ---------------------")");
  return layout;
}

const Layout& minimised_title() {
  static const Layout layout(
      R"(/,/,"-----------     Координаты исходных атомов  после GULP  ---------------------")");
  return layout;
}

const Layout& corrected_title() {
  static const Layout layout(
      R"(/,/,"-----------     Исправленные координаты  атомов (после GULP ) ---------------------")");
  return layout;
}

const Layout& position_row() {
  static const Layout layout("5X,I4,3X,A6,3X,3(F8.5,2X)");
  return layout;
}

}  // namespace

void Run::OPEN_READ() {
  input_->open();
  output_->open();
  reader_ = std::make_unique<textio::FreeFormReader>(*input_, 1);
  read_input();

  if (state_.print_initial_positions == 1) {
    write_positions_table(initial_title(), state_.initial_positions);
  }
  if (state_.print_minimised_positions == 1) {
    write_positions_table(minimised_title(), state_.minimised_positions);
  }
  Positions<kCellCapacity>& initial = state_.initial_positions;
  Positions<kCellCapacity>& minimised = state_.minimised_positions;
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    minimised.x(i) = corrected_coordinate(initial.x(i), minimised.x(i));
    minimised.y(i) = corrected_coordinate(initial.y(i), minimised.y(i));
    minimised.z(i) = corrected_coordinate(initial.z(i), minimised.z(i));
  }
  if (state_.print_corrected_positions == 1) {
    write_positions_table(corrected_title(), state_.minimised_positions);
  }
}

void Run::begin_statement() {
  check_interrupt();
  reader_->begin_statement();
}

// Every value line ends in one more token, read as a one-character text and
// thrown away; header lines hold nothing else.
void Run::skip_trailing_token() {
  char discarded[1] = {0};
  reader_->read_text(discarded, sizeof discarded);
}

void Run::read_input() {
  textio::FreeFormReader& in = *reader_;
  for (CellParameters* cell : {&state_.initial_cell, &state_.minimised_cell}) {
    begin_statement();
    for (float* value : {&cell->a, &cell->b, &cell->c, &cell->alpha, &cell->beta, &cell->gamma}) {
      in.read(*value);
    }
    skip_trailing_token();
  }
  begin_statement();  // title
  skip_trailing_token();
  for (float* value : {&state_.sphere_radius, &state_.bond_limit}) {
    begin_statement();
    in.read(*value);
    skip_trailing_token();
  }
  begin_statement();
  in.read(state_.kind_count);
  skip_trailing_token();
  for (int k = 1; k <= state_.kind_count; ++k) {
    KindSymbol& symbol = state_.kind_symbols(k);  // capacity test before the line is read
    begin_statement();
    in.read_text(symbol.data(), symbol.size());
    skip_trailing_token();
  }
  for (int k = 1; k <= state_.kind_count - 1; ++k) {
    float& reference = state_.bond_reference(k);
    begin_statement();
    in.read(reference);
    skip_trailing_token();
  }
  begin_statement();  // title
  skip_trailing_token();
  for (std::int32_t* report_switch :
       {&state_.print_initial_positions, &state_.print_minimised_positions,
        &state_.print_corrected_positions, &state_.print_block_initial,
        &state_.print_block_minimised, &state_.print_sphere_details, &state_.print_w_table,
        &state_.print_w_ordered, &state_.print_w_by_kind, &state_.print_w_summary}) {
    begin_statement();
    in.read(*report_switch);
    skip_trailing_token();
  }
  begin_statement();  // title
  skip_trailing_token();
  begin_statement();
  in.read(state_.cell_atom_count);
  skip_trailing_token();
  read_atom_list(state_.initial_positions);
  read_atom_list(state_.minimised_positions);
}

// One atom line per cell atom: ordinal (not used), name, x, y, z. Each list
// replaces the names read before it.
void Run::read_atom_list(Positions<kCellCapacity>& positions) {
  textio::FreeFormReader& in = *reader_;
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    begin_statement();
    std::int32_t ordinal = 0;
    in.read(ordinal);
    AtomName& name = state_.cell_atom_names(i);  // capacity test after the ordinal
    in.read_text(name.data(), name.size());
    in.read(positions.x(i));
    in.read(positions.y(i));
    in.read(positions.z(i));
  }
}

void Run::write_positions_table(const Layout& title, const Positions<kCellCapacity>& positions) {
  report_.write(title);
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    report_.write(position_row(), {i, bytes_of(state_.cell_atom_names(i)), positions.x(i),
                                   positions.y(i), positions.z(i)});
  }
}

}  // namespace wsphere
