#include "driver/run.hpp"

namespace wsphere {

Run::Run(const std::filesystem::path& directory)
    : input_(1, (directory / "input.txt").string()),
      output_(2, (directory / "output.txt").string()),
      report_(output_) {}

int Run::CLOSE_STOP() {
  input_.close();
  output_.flush();
  output_.close();
  return 0;
}

void Run::close_after_failure() noexcept {
  input_.close();
  try {
    output_.flush();
  } catch (...) {
    // The run is already ending on a failure; that failure is the one reported.
  }
  output_.close();
}

const std::string& Run::unit_path(int unit) const {
  return unit == 1 ? input_.path() : output_.path();
}

}  // namespace wsphere
