// Console interrupts: control-C, control-BREAK and the closing of the console
// window. The handler only records the event; the run acts on it at safe
// points: between read statements, before each report line and before each
// centre atom, and when a blocked read returns. On POSIX systems the events
// are the signals SIGINT, SIGQUIT and SIGHUP (posix/interrupt.cpp); on Windows
// they are console control events (windows/console_events.cpp).
#pragma once

#include <string_view>

namespace wsphere {

// Installs the handler of the three events, made so that a read blocked on a
// pipe or a slow device returns and the event is seen.
void install_interrupt_handlers();

// Raises Interrupted when an event has been recorded.
void check_interrupt();

// True once an event has been recorded.
bool interrupt_pending();

// "control-C", "control-BREAK" or "window-CLOSE" for the event number that
// Interrupted carries (a signal on POSIX, a console event on Windows).
std::string_view interrupt_event_name(int event);

}  // namespace wsphere
