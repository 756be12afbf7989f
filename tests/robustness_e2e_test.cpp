// Hostile inputs and file-system faults: every one ends with its message and
// exit status, in time and memory that grow no faster than the input.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kData = WSPHERE_TEST_DATA;

std::string example_input() { return read_file(kData / "example_input.txt"); }

// The example with line `number` (1-based) replaced.
std::string example_with_line(int number, const std::string& text) {
  std::string input = example_input();
  std::size_t start = 0;
  for (int line = 1; line < number; ++line) start = input.find('\n', start) + 1;
  return input.replace(start, input.find('\n', start) - start, text);
}

std::string kinds_and_atoms(int kinds, int atoms) {
  static const char* const symbols[] = {"Si", "Al", "Mg", "Fe", "Ca", "Na", "Ti", "Mn", "Cr", "O"};
  std::string input = "8.0 8.0 8.0 90.0 90.0 90.0 cell\n8.1 8.0 7.9 90.0 91.0 90.0 cell\nsphere\n";
  input += "4.0 radius\n2.2 bond\n" + std::to_string(kinds) + " kinds\n";
  for (int k = 0; k < kinds; ++k) input += std::string(symbols[k]) + " kind\n";
  for (int k = 1; k < kinds; ++k) input += "1.7 ref\n";
  input += "switches\n";
  for (int s = 0; s < 10; ++s) input += "1 switch\n";
  input += "atoms\n" + std::to_string(atoms) + " count\n";
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 1; i <= atoms; ++i) {
      const double t = i / static_cast<double>(atoms + 1);
      input += std::to_string(i) + " " + symbols[i % kinds] + std::to_string(i) + " " +
               std::to_string(t) + " " + std::to_string(t * 7 - static_cast<int>(t * 7)) + " " +
               std::to_string(t * 13 - static_cast<int>(t * 13) + pass * 1e-3) + "\n";
    }
  }
  return input;
}

struct Hostile {
  const char* name;
  std::function<std::string()> input;
  int status;
  bool same_report_as_example;  // the hostile part changes nothing the report shows
};

long children_max_rss_kb() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

// Each case runs in its own process under ctest, so the largest child seen is
// the program run on the largest input.
TEST(HostileInputE2E, EndWithTheirMessageInBoundedTimeAndMemory) {
  constexpr std::size_t kHuge = 100'000'000;
  const Hostile cases[] = {
      {"100 MB of blanks on a line", [] { return std::string(kHuge, ' ') + "\n" + example_input(); },
       0, true},
      {"a million blank lines", [] { return std::string(1'000'000, '\n') + example_input(); }, 0,
       true},
      {"a 100 MB number", [] { return std::string(kHuge, '7') + " " + example_input(); }, 64,
       false},
      {"a 2049-character kind symbol", [] { return example_with_line(7, "Si" + std::string(2047, 'x') + " kind-1"); },
       0, true},
      {"a 2050-character kind symbol", [] { return example_with_line(7, "Si" + std::string(2048, 'x') + " kind-1"); },
       59, false},
      {"the largest repeat count", [] { return example_with_line(4, "2147483647*6.0 radius"); }, 0,
       true},
      {"a repeat count too large", [] { return example_with_line(4, "2147483648*6.0 radius"); }, 59,
       false},
      {"a million repeat forms on a line",
       [] {
         std::string line;
         for (int i = 0; i < 1'000'000; ++i) line += "2000000000*6.0 ";
         return example_with_line(4, line);
       },
       0, true},
      {"a thousand atoms of ten kinds", [] { return kinds_and_atoms(10, 1000); }, 0, false},
  };
  TempDir reference;
  write_file(reference / "input.txt", example_input());
  ASSERT_EQ(run_wsphere(reference.path()).status, 0);
  const std::string example_report = read_file(reference / "output.txt");

  std::size_t largest_input = 0;
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string input = c.input();
    largest_input = std::max(largest_input, input.size());
    write_file(dir / "input.txt", input);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = run_wsphere(dir.path());
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_LT(seconds.count(), 60.0);
    if (c.same_report_as_example) {
      EXPECT_EQ(read_file(dir / "output.txt"), example_report);
    }
  }
  // Linear: a few copies of the largest input, plus the fixed tables.
  EXPECT_LT(children_max_rss_kb(), static_cast<long>(6 * largest_input / 1024 + 512 * 1024));
}

// A process whose memory runs out on a huge input line ends with a message of
// its own, keeps the earlier report and does not crash.
TEST(HostileInputE2E, MemoryRefusedIsASevereConditionNotACrash) {
#ifdef WSPHERE_SANITIZED
  GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
  TempDir dir;
  write_file(dir / "input.txt", std::string(100'000'000, ' ') + "\n" + example_input());
  write_file(dir / "output.txt", "earlier\r\n");
  const Outcome outcome = Process(dir.path(), -1, 48u << 20).wait();
  EXPECT_EQ(outcome.status, 41);
  EXPECT_EQ(outcome.err, "runerr: severe (41): insufficient virtual memory\n");
  EXPECT_EQ(read_file(dir / "output.txt"), "earlier\r\n");
}

// Directory entries made below a TempDir by descriptor, so that their full
// path can be longer than the system accepts in one call.
class DeepDirectory {
 public:
  DeepDirectory(const fs::path& base, std::size_t length) : fd_(::open(base.c_str(), O_DIRECTORY)) {
    path_ = base;
    const std::string part(200, 'd');
    while (path_.string().size() <= length) {
      ::mkdirat(fd_, part.c_str(), 0700);
      const int next = ::openat(fd_, part.c_str(), O_DIRECTORY);
      ::close(fd_);
      fd_ = next;
      path_ /= part;
    }
  }
  ~DeepDirectory() { ::close(fd_); }
  void write(const char* name, const std::string& bytes) const {
    const int file = ::openat(fd_, name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(file);
  }
  const fs::path& path() const { return path_; }

 private:
  int fd_;
  fs::path path_;
};

// A full path name longer than the system takes is a rejected file name.
TEST(FileSystemE2E, FullPathTooLongIsAFileNameError) {
  TempDir dir;
  const DeepDirectory deep(dir.path(), 4200);
  deep.write("input.txt", example_input());
  const Outcome outcome = run_wsphere(deep.path());
  EXPECT_EQ(outcome.status, 43);
  EXPECT_EQ(outcome.err, file_message(43, "file name specification error", 1, deep.path() / "input.txt"));
  // Removing the tree needs the same descriptor walk; the shell does it.
  const std::string remove = "rm -rf '" + (dir / std::string(200, 'd')).string() + "'";
  EXPECT_EQ(std::system(remove.c_str()), 0);
}

}  // namespace
}  // namespace wsphere::testing
