#include "driver/run.hpp"

#include "driver/connection.hpp"

namespace wsphere {

Run::Run(std::unique_ptr<InputUnit> input, std::unique_ptr<OutputUnit> output)
    : input_(std::move(input)), output_(std::move(output)), report_(*output_) {}

std::unique_ptr<Run> Run::on_directory(const std::filesystem::path& directory, Console& console) {
  return on_files((directory / "input.txt").string(), (directory / "output.txt").string(), console);
}

std::unique_ptr<Run> Run::on_files(std::string input_path, std::string output_path, Console& console) {
  return std::make_unique<Run>(std::make_unique<InputConnection>(std::move(input_path)),
                               std::make_unique<OutputConnection>(std::move(output_path), console));
}

int Run::close_files() {
  input_->close();
  output_->close();
  return 0;
}

void Run::close_after_failure() noexcept {
  input_->close();
  output_->close_quietly();
}

const std::string& Run::unit_path(int unit) const {
  return unit == 1 ? input_->path() : output_->path();
}

}  // namespace wsphere
