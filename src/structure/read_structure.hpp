// Reading input.txt into the structure state, statement by statement, in the
// order of the file: the two cells, the analysis settings, the kinds with their
// references, the report switches and the two atom lists.
#pragma once

#include "core/interrupt_poll.hpp"
#include "structure/structure_state.hpp"
#include "textio/free_form_reader.hpp"

namespace wsphere {

// Reads the whole input from `in` into `state`, which must start zeroed.
// `poll` is called before every statement. Raises Fatal on every failure of the
// reader and at the first kind or atom beyond the capacities (161).
void read_structure(textio::FreeFormReader& in, StructureState& state,
                    InterruptPoll poll = no_interrupt_poll);

}  // namespace wsphere
