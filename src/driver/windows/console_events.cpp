// Console interrupts as console control events: CTRL_C_EVENT (0),
// CTRL_BREAK_EVENT (1) and CTRL_CLOSE_EVENT (2); the event number is the one
// that Interrupted carries.
#include <windows.h>

#include "driver/windows/console_events.hpp"

#include "core/condition.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

// The event plus one, 0 while none has come. The handler runs on a thread of
// its own that the system starts for each event.
volatile LONG g_pending = 0;
HANDLE g_main_thread = nullptr;

}  // namespace

BOOL WINAPI on_console_event(DWORD event) {
  if (event > CTRL_CLOSE_EVENT) return FALSE;  // log-off, shut-down: the system's way
  ::InterlockedCompareExchange(&g_pending, static_cast<LONG>(event) + 1, 0);
  // A read blocked on a pipe or a console returns, and the run sees the event.
  if (g_main_thread != nullptr) ::CancelSynchronousIo(g_main_thread);
  // The system ends the process as soon as the handler of a close event
  // returns; the handler waits instead, so that the main thread reaches its
  // next safe point, reports the event, closes the files and ends the process
  // with status 2 itself (within the few seconds the system grants).
  if (event == CTRL_CLOSE_EVENT) ::Sleep(INFINITE);
  return TRUE;
}

void install_interrupt_handlers() {
  ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &g_main_thread,
                    0, FALSE, DUPLICATE_SAME_ACCESS);
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

void check_interrupt() {
  if (const LONG pending = g_pending; pending != 0) throw Interrupted(static_cast<int>(pending - 1));
}

bool interrupt_pending() { return g_pending != 0; }

std::string_view interrupt_event_name(int event) {
  switch (event) {
    case CTRL_BREAK_EVENT: return "control-BREAK";
    case CTRL_CLOSE_EVENT: return "window-CLOSE";
    default: return "control-C";
  }
}

}  // namespace wsphere
