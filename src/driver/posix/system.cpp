// The process and its system on POSIX: getcwd, descriptor 2, statuses of
// eight bits and, with glibc, a heap mapped ahead.
#include <sys/mman.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/system.hpp"

namespace wsphere {

namespace {

constexpr int kSignalStatusBase = 128;

// The working directory, or nothing when the system cannot tell it (the name
// then stays relative).
std::string working_directory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace

// The name in the working directory; only the root itself ends with a slash.
std::string full_path(std::string_view name) {
  std::string path = working_directory();
  if (!path.empty() && path.back() != '/') path += '/';
  return path.append(name);
}

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

// A page of memory that a run touches for the first time costs it a page
// fault, and in some virtual machines a fault is dear: 10 to 25 µs of processor
// time here, where a page mapped ahead by madvise costs 1 µs. So the heap is
// grown once by what a run of a thousand atoms uses and mapped in one call;
// it is kept to the end rather than given back as blocks are freed (see the
// README's performance notes for what it saves). Everything here is advice:
// where the system declines, the heap grows as before.
void prepare_heap() {
#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE) && !defined(__SANITIZE_ADDRESS__)
  constexpr std::size_t kHeapStart = std::size_t{256} << 10;
  constexpr int kDefaultTopPad = 128 << 10;
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kHeapStart));
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(4 * kHeapStart));
  ::mallopt(M_TOP_PAD, 0);
  void* const block = std::malloc(kHeapStart);
  ::mallopt(M_TOP_PAD, kDefaultTopPad);
  if (block == nullptr) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(block) / page * page;
  const auto top = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  std::free(block);
  // Only the heap's own top: a block placed elsewhere is left alone.
  if (top > first && top - first <= 2 * kHeapStart) {
    ::madvise(reinterpret_cast<void*>(first), top - first, MADV_POPULATE_WRITE);
  }
#endif
}

}  // namespace wsphere
