// The steps of a run: each reads or computes through the layers below and
// hands what it has to the report, in the order of the report's sections.
#include "analysis/analyse_spheres.hpp"
#include "driver/interrupt.hpp"
#include "driver/run.hpp"
#include "report/block_tables.hpp"
#include "report/position_tables.hpp"
#include "report/sphere_section.hpp"
#include "report/w_tables.hpp"
#include "structure/coordinate_correction.hpp"
#include "structure/read_structure.hpp"
#include "textio/free_form_reader.hpp"

namespace wsphere {

void Run::read_input() {
  input_->open();
  output_->open();
  textio::FreeFormReader reader(*input_, 1);
  read_structure(reader, state_, check_interrupt);
  if (state_.print_initial_positions == 1) {
    write_position_table(report_, PositionTable::initial, state_, state_.initial_positions);
  }
  if (state_.print_minimised_positions == 1) {
    write_position_table(report_, PositionTable::minimised, state_, state_.minimised_positions);
  }
  correct_minimised_positions(state_);
  if (state_.print_corrected_positions == 1) {
    write_position_table(report_, PositionTable::corrected, state_, state_.minimised_positions);
  }
  input_view_ = analysis_input(state_);
}

// The analysis makes block coordinates as it needs them: the block is held in
// memory only for its tables.
void Run::build_block() {
  const bool initial = state_.print_block_initial == 1;
  const bool minimised = state_.print_block_minimised == 1;
  if (!initial && !minimised) return;
  wsphere::build_block(input_view_, block_);
  if (initial) write_block_table(report_, BlockTable::initial, block_);
  if (minimised) write_block_table(report_, BlockTable::minimised, block_);
}

void Run::analyse_spheres() {
  if (state_.print_sphere_details == 1) {
    SphereSection section(report_, input_view_);
    section.write_title();
    wsphere::analyse_spheres(input_view_, results_, &section, check_interrupt);
  } else {
    wsphere::analyse_spheres(input_view_, results_, nullptr, check_interrupt);
  }
  if (state_.print_w_table == 1) write_w_table(report_, input_view_, results_);
  order_by_w(results_);
  if (state_.print_w_ordered == 1) write_ordered_table(report_, input_view_, results_);
  write_kind_lists(report_, input_view_, results_, state_.print_w_by_kind == 1,
                   state_.print_w_summary == 1);
}

}  // namespace wsphere
