// The console control handler itself, for the tests of what the system would
// deliver: it records the event, cancels a blocked read of the main thread
// and, for a close event, does not return (the main thread ends the process).
#pragma once

#include <windows.h>

namespace wsphere {

BOOL WINAPI on_console_event(DWORD event);

}  // namespace wsphere
