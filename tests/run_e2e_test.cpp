// End-to-end runs of the program: files, messages and exit statuses.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kData = WSPHERE_TEST_DATA;

std::string example_input() { return read_file(kData / "example_input.txt"); }

std::string eof_message(const TempDir& dir) {
  return file_message(24, "end-of-file during read", 1, dir / "input.txt");
}

TEST(RunE2E, ValidInputEndsQuietlyWithStatusZero) {
  TempDir dir;
  write_file(dir / "input.txt", example_input());
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, "");
}

TEST(RunE2E, MissingInputIsCreatedEmptyAndEndsAtFirstRead) {
  TempDir dir;
  write_file(dir / "output.txt", "earlier report\r\n");
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 24);
  EXPECT_EQ(outcome.err, eof_message(dir));
  EXPECT_TRUE(fs::exists(dir / "input.txt"));
  EXPECT_EQ(fs::file_size(dir / "input.txt"), 0u);
  EXPECT_EQ(read_file(dir / "output.txt"), "earlier report\r\n");
}

TEST(RunE2E, InputCutShortEndsWithEndOfFile) {
  const std::string full = example_input();
  // Cut after whole lines at several entries, and inside an atom line.
  std::vector<std::size_t> cuts = {0, full.find("sphere"), full.find("Si       kind-1"),
                                   full.find("switches"), full.find("3        count"),
                                   full.find("3  O1   0.98900"), full.size() - 10};
  for (std::size_t cut : cuts) {
    SCOPED_TRACE("cut at byte " + std::to_string(cut));
    TempDir dir;
    std::string text = full.substr(0, cut);
    if (cut == full.size() - 10) text += "\n";  // a last line that lacks its values
    write_file(dir / "input.txt", text);
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, 24);
    EXPECT_EQ(outcome.err, eof_message(dir));
  }
}

struct BadToken {
  const char* replace;
  const char* with;
  int status;
  const char* text;
};

TEST(RunE2E, BadTokensEndTheRunWithTheirMessage) {
  const BadToken cases[] = {
      {"6.0      radius", "6.0x     radius", 59, "list-directed I/O syntax error"},
      {"2.2      bond-limit", "2.2.1    bond-limit", 59, "list-directed I/O syntax error"},
      {"3        kinds", "1-2      kinds", 64, "input conversion error"},
      {"6.0      radius", "1e99     radius", 64, "input conversion error"},
      {"3        count", "99999999999 count", 64, "input conversion error"},
  };
  for (const BadToken& bad : cases) {
    SCOPED_TRACE(bad.with);
    TempDir dir;
    std::string text = example_input();
    text.replace(text.find(bad.replace), std::string(bad.replace).size(), bad.with);
    write_file(dir / "input.txt", text);
    write_file(dir / "output.txt", "kept\r\n");
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, bad.status);
    EXPECT_EQ(outcome.err, file_message(bad.status, bad.text, 1, dir / "input.txt"));
    EXPECT_EQ(read_file(dir / "output.txt"), "kept\r\n");
  }
}

TEST(RunE2E, ElevenKindsExceedTheCapacity) {
  TempDir dir;
  std::string text = example_input();
  std::string kinds;
  for (char k = '0'; k <= '9'; ++k) kinds += std::string("X") + k + " kind\n";
  text.replace(text.find("3        kinds"), 14, "11 kinds");
  text.insert(text.find("O        kind-3"), kinds);
  write_file(dir / "input.txt", text);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 161);
  EXPECT_EQ(outcome.err, "runerr: severe (161): Program Exception - array bounds exceeded\n");
}

// 1001 atoms: the 1001st line reads its ordinal first, so a bad ordinal there
// still gives its own message; a good one gives the bounds message.
TEST(RunE2E, AThousandAndFirstAtomExceedsTheCapacity) {
  std::string head = example_input();
  head = head.substr(0, head.find("3        count"));
  std::string atoms;
  for (int i = 1; i <= 1000; ++i) atoms += std::to_string(i) + " O1 0.1 0.2 0.3\n";
  const struct {
    std::string last_line;
    int status;
  } cases[] = {{"1001 O1 0.1 0.2 0.3\n", 161}, {"1.5x O1 0.1 0.2 0.3\n", 59}, {"", 24}};
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "input.txt", head + "1001 count\n" + atoms + c.last_line);
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, c.status) << c.last_line;
  }
}

TEST(RunE2E, LastLineWithoutLineFeedIsRead) {
  TempDir dir;
  std::string text = example_input();
  text.pop_back();
  write_file(dir / "input.txt", text);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
}

TEST(RunE2E, CrLfInputReadsLikeLfInput) {
  TempDir lf;
  TempDir crlf;
  const std::string text = example_input();
  std::string windows;
  for (char c : text) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
  write_file(lf / "input.txt", text);
  write_file(crlf / "input.txt", windows);
  EXPECT_EQ(run_wsphere(lf.path()).status, 0);
  EXPECT_EQ(run_wsphere(crlf.path()).status, 0);
  EXPECT_EQ(read_file(lf / "output.txt"), read_file(crlf / "output.txt"));
}

TEST(RunE2E, InputThatIsADirectoryIsAnOpenFailure) {
  TempDir dir;
  fs::create_directory(dir / "input.txt");
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 30);
  EXPECT_EQ(outcome.err, file_message(30, "open failure", 1, dir / "input.txt"));
}

TEST(RunE2E, OutputThatIsADirectoryIsAnOpenFailureOnUnitTwo) {
  TempDir dir;
  write_file(dir / "input.txt", example_input());
  fs::create_directory(dir / "output.txt");
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 30);
  EXPECT_EQ(outcome.err, file_message(30, "open failure", 2, dir / "output.txt"));
}

// A report that cannot be stored is a failure, not a success, whether it fits
// one output buffer or takes many; a device has nothing to cut and is simply
// written.
TEST(RunE2E, OutputLinkedToADeviceIsWrittenAndAFullDeviceFails) {
  const struct {
    const char* device;
    int status;
    bool large;
  } cases[] = {{"/dev/null", 0, false}, {"/dev/full", 38, false},
               {"/dev/null", 0, true},  {"/dev/full", 38, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.device) + (c.large ? ", large report" : ""));
    TempDir dir;
    write_file(dir / "input.txt", c.large ? large_report_input() : example_input());
    fs::create_symlink(c.device, dir / "output.txt");
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.err, c.status == 0 ? std::string()
                                         : file_message(38, "error during write", 2,
                                                        dir / "output.txt"));
  }
}

// The input arrives through a named pipe that never ends: the run waits in a
// read until the interrupt comes, then reports it and keeps its report.
TEST(RunE2E, InterruptWhileReadingEndsWithSignalStatus) {
  const struct {
    int signal;
    const char* event;
  } cases[] = {{SIGINT, "control-C"}, {SIGQUIT, "control-BREAK"}, {SIGHUP, "window-CLOSE"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.event);
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "input.txt").c_str(), 0600), 0);
    write_file(dir / "output.txt", "kept\r\n");
    Process process(dir.path());
    const int writer = ::open((dir / "input.txt").c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const std::string part = example_input().substr(0, 120);
    ASSERT_EQ(::write(writer, part.data(), part.size()), static_cast<ssize_t>(part.size()));
    // Let the program read what there is and block; signals sent before its
    // handler is in place would kill it, so give it time and send again if needed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(process.pid(), c.signal);
    const Outcome outcome = process.wait();
    ::close(writer);
    EXPECT_EQ(outcome.status, 128 + c.signal);
    EXPECT_EQ(outcome.err,
              std::string("runerr: error (200): program aborting due to ") + c.event + " event\n");
    EXPECT_EQ(read_file(dir / "output.txt"), "kept\r\n");
  }
}

}  // namespace
}  // namespace wsphere::testing
