// Legacy name of this step: OPEN_READ (its reading part).
#include "structure/read_structure.hpp"

#include <cstdint>

#include "structure/input_format.hpp"

namespace wsphere {

namespace {

class StructureReader {
 public:
  StructureReader(textio::FreeFormReader& in, StructureState& state, InterruptPoll poll)
      : in_(in), state_(state), poll_(poll) {}

  void read_all();

 private:
  void begin_statement();
  void skip_trailing_token();
  void read_title();
  void read_cell(Cell& cell);
  void read_value(float& value);
  void read_value(std::int32_t& value);
  void read_kinds();
  void read_switches();
  void read_atom_list(Positions<kCellCapacity>& positions);

  textio::FreeFormReader& in_;
  StructureState& state_;
  InterruptPoll poll_;
};

void StructureReader::begin_statement() {
  poll_();
  in_.begin_statement();
}

// Every value line ends in one more token, read as a one-character text and
// thrown away; header lines hold nothing else.
void StructureReader::skip_trailing_token() {
  char discarded[1] = {0};
  in_.read_text(discarded, sizeof discarded);
}

void StructureReader::read_title() {
  begin_statement();
  skip_trailing_token();
}

void StructureReader::read_cell(Cell& cell) {
  begin_statement();
  for (float* value : {&cell.a, &cell.b, &cell.c, &cell.alpha, &cell.beta, &cell.gamma}) {
    in_.read(*value);
  }
  skip_trailing_token();
}

void StructureReader::read_value(float& value) {
  begin_statement();
  in_.read(value);
  skip_trailing_token();
}

void StructureReader::read_value(std::int32_t& value) {
  begin_statement();
  in_.read(value);
  skip_trailing_token();
}

// The count, one symbol line per kind, then one reference line per kind but
// the last.
void StructureReader::read_kinds() {
  read_value(state_.kind_count);
  for (int k = 1; k <= state_.kind_count; ++k) {
    KindSymbol& symbol = state_.kind_symbols(k);  // capacity test before the line is read
    begin_statement();
    in_.read_text(symbol.data(), symbol.size());
    skip_trailing_token();
  }
  for (int k = 1; k <= state_.kind_count - 1; ++k) {
    float& reference = state_.bond_reference(k);
    read_value(reference);
  }
}

void StructureReader::read_switches() {
  for (std::int32_t* report_switch : report_switches(state_)) read_value(*report_switch);
}

// One atom line per cell atom: ordinal (not used), name, x, y, z. Each list
// replaces the names read before it.
void StructureReader::read_atom_list(Positions<kCellCapacity>& positions) {
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    begin_statement();
    std::int32_t ordinal = 0;
    in_.read(ordinal);
    AtomName& name = state_.cell_atom_names(i);  // capacity test after the ordinal
    in_.read_text(name.data(), name.size());
    in_.read(positions.x(i));
    in_.read(positions.y(i));
    in_.read(positions.z(i));
  }
}

void StructureReader::read_all() {
  read_cell(state_.initial_cell);
  read_cell(state_.minimised_cell);
  read_title();
  read_value(state_.sphere_radius);
  read_value(state_.bond_limit);
  read_kinds();
  read_title();
  read_switches();
  read_title();
  read_value(state_.cell_atom_count);
  read_atom_list(state_.initial_positions);
  read_atom_list(state_.minimised_positions);
}

}  // namespace

void read_structure(textio::FreeFormReader& in, StructureState& state, InterruptPoll poll) {
  StructureReader(in, state, poll).read_all();
}

}  // namespace wsphere
