// The program as wsphere.exe runs it, with a console control event delivered
// the way the system delivers one: on a thread of its own, to the handler
// that install_interrupt_handlers registered. Wine has no console to send
// control-BREAK or window-CLOSE from, so the tests start this program instead.
//   wsphere_event_probe.exe EVENT     (0 control-C, 1 control-BREAK, 2 window-CLOSE)
// Exits with the program's status; 99 when the handler of a close event
// returned, which would let the system end the process before the report.
#include <windows.h>

#include <cstdlib>

#include "driver/connection.hpp"
#include "driver/interrupt.hpp"
#include "driver/program.hpp"
#include "driver/windows/console_events.hpp"

namespace {

constexpr int kCloseHandlerReturned = 99;

DWORD WINAPI deliver(void* event) {
  wsphere::on_console_event(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(event)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  const auto event = static_cast<DWORD>(std::atoi(argv[1]));
  wsphere::install_interrupt_handlers();
  const HANDLE thread = ::CreateThread(nullptr, 0, deliver, reinterpret_cast<void*>(std::uintptr_t{event}), 0,
                                       nullptr);
  if (thread == nullptr) return 65;
  // control-C and control-BREAK: the handler returns at once. window-CLOSE:
  // it must still be waiting after a second.
  const DWORD waited = ::WaitForSingleObject(thread, 1000);
  if (event == CTRL_CLOSE_EVENT && waited != WAIT_TIMEOUT) return kCloseHandlerReturned;
  wsphere::StderrConsole console;
  return wsphere::run_in_working_directory(console);
}
