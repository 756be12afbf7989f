// Console interrupts as signals: SIGINT is control-C, SIGQUIT control-BREAK
// and SIGHUP window-CLOSE. The event number is the signal number.
#include <csignal>

#include "core/condition.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void record_signal(int signal) {
  if (g_signal == 0) g_signal = signal;
}

}  // namespace

// Without SA_RESTART: a blocked read returns with EINTR and the flag is seen.
void install_interrupt_handlers() {
  struct sigaction action {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int signal : {SIGINT, SIGQUIT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void check_interrupt() {
  if (const int signal = g_signal; signal != 0) throw Interrupted(signal);
}

bool interrupt_pending() { return g_signal != 0; }

std::string_view interrupt_event_name(int signal) {
  switch (signal) {
    case SIGQUIT: return "control-BREAK";
    case SIGHUP: return "window-CLOSE";
    default: return "control-C";
  }
}

}  // namespace wsphere
