// Safe points of long steps. Reading calls the poll before every statement and
// the sphere analysis before every centre atom; the program passes the poll
// that raises Interrupted for a pending console interrupt, the library passes
// none. Nothing here knows where interrupts come from.
#pragma once

namespace wsphere {

using InterruptPoll = void (*)();

// The poll of a caller that takes no interrupts.
inline void no_interrupt_poll() {}

}  // namespace wsphere
