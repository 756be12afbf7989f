#include "driver/interrupt.hpp"

#include <csignal>

#include "driver/message_line.hpp"

namespace wsphere {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void record_signal(int signal) {
  if (g_signal == 0) g_signal = signal;
}

}  // namespace

void install_interrupt_handlers() {
  struct sigaction action {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: blocked reads return with EINTR
  for (int signal : {SIGINT, SIGQUIT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int pending_interrupt() { return g_signal; }

void check_interrupt() {
  if (const int signal = g_signal; signal != 0) throw Interrupted(signal);
}

std::string_view interrupt_event_name(int signal) {
  switch (signal) {
    case SIGQUIT: return "control-BREAK";
    case SIGHUP: return "window-CLOSE";
    default: return "control-C";
  }
}

}  // namespace wsphere
