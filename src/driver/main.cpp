// The program's entry: a run on input.txt and output.txt of the working
// directory, with messages on standard error. The status returned is the
// process's exit status.
#include "driver/connection.hpp"
#include "driver/interrupt.hpp"
#include "driver/program.hpp"
#include "driver/system.hpp"

namespace {

int MAIN() {
  wsphere::prepare_heap();
  wsphere::install_interrupt_handlers();
  wsphere::StderrConsole console;
  return wsphere::run_in_working_directory(console);
}

}  // namespace

int main() { return MAIN(); }
