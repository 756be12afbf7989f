// Console interrupts (SIGINT, SIGQUIT, SIGHUP). The handler only records the
// signal; the run acts on it at safe points: between read statements, before
// each report line and before each centre atom, and when a blocked read returns.
#pragma once

#include <string_view>

namespace wsphere {

// Installs the handler for the three signals, without SA_RESTART, so that a
// read blocked on a pipe or a slow device returns and the flag is seen.
void install_interrupt_handlers();

// The signal recorded by the handler, or 0.
int pending_interrupt();

// Raises Interrupted when a signal has been recorded.
void check_interrupt();

// "control-C", "control-BREAK" or "window-CLOSE".
std::string_view interrupt_event_name(int signal);

}  // namespace wsphere
