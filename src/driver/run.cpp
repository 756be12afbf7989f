#include "driver/run.hpp"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "driver/connection.hpp"

namespace wsphere {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void* Run::operator new(std::size_t size) {
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* const run = std::aligned_alloc(kHugePage, rounded);
  if (run == nullptr) throw std::bad_alloc();
  ::madvise(run, rounded, MADV_HUGEPAGE);  // only advice: without it the run works the same
  return run;
}

void Run::operator delete(void* run) noexcept { std::free(run); }

Run::Run(std::unique_ptr<InputUnit> input, std::unique_ptr<OutputUnit> output)
    : input_(std::move(input)), output_(std::move(output)), report_(*output_) {}

std::unique_ptr<Run> Run::on_directory(const std::filesystem::path& directory, Console& console) {
  return std::make_unique<Run>(
      std::make_unique<InputConnection>((directory / "input.txt").string()),
      std::make_unique<OutputConnection>((directory / "output.txt").string(), console));
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
