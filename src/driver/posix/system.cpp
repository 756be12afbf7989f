// The process and its system on POSIX: getcwd, descriptor 2, statuses of
// eight bits, and a run on transparent huge pages.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "driver/system.hpp"

namespace wsphere {

namespace {

constexpr int kSignalStatusBase = 128;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The working directory, or an empty path when the system cannot tell it
// (the name then stays relative).
std::filesystem::path working_directory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::filesystem::path(buffer.c_str());
}

}  // namespace

std::string full_path(std::string_view name) { return (working_directory() / name).string(); }

void write_stderr(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Only the low eight bits of a status reach the parent: the message number.
int severe_status(Msg msg) { return static_cast<int>(msg); }

// 128 plus the signal number, as shells report a run ended by a signal.
int interrupt_status(int signal) { return kSignalStatusBase + signal; }

void* allocate_run_storage(std::size_t size) {
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* const storage = std::aligned_alloc(kHugePage, rounded);
  if (storage == nullptr) throw std::bad_alloc();
  ::madvise(storage, rounded, MADV_HUGEPAGE);  // only advice: without it the run works the same
  return storage;
}

void release_run_storage(void* storage) noexcept { std::free(storage); }

}  // namespace wsphere
