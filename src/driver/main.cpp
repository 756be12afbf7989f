// The program's entry: a run on input.txt and output.txt of the working
// directory, with messages on standard error.
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "driver/connection.hpp"
#include "driver/interrupt.hpp"
#include "driver/program.hpp"

namespace {

std::filesystem::path working_directory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::filesystem::path(buffer.c_str());
}

int MAIN() {
  wsphere::install_interrupt_handlers();
  wsphere::StderrConsole console;
  return wsphere::run_in_directory(working_directory(), console);
}

}  // namespace

int main() { return MAIN(); }
