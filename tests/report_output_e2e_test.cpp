// A report of many output buffers through the real program: the file holds exactly
// the bytes of the same run made in memory, and an interrupt while the report
// is held up keeps every line written before it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "driver/program.hpp"
#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kExamples = WSPHERE_EXAMPLES;

TEST(ReportOutputE2E, LargeReportMatchesTheRunInMemory) {
  const std::string input = large_report_input();
  TempDir dir;
  const MemoryRunResult expected = run_in_memory(input, dir.path().string());
  ASSERT_EQ(expected.status, 0);
  ASSERT_GT(expected.report.size(), 600'000u);
  const struct {
    const char* name;
    std::string old_report;
  } cases[] = {{"new file", ""}, {"longer old report", std::string(3'000'000, 'x')}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(dir / "input.txt", input);
    if (!c.old_report.empty()) write_file(dir / "output.txt", c.old_report);
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, expected.messages);
    EXPECT_TRUE(read_file(dir / "output.txt") == expected.report);
    fs::remove(dir / "output.txt");
  }
}

// Whatever output.txt held before, a run that writes lines leaves exactly those
// lines in it, whether it ends normally or on the math error of an impossible
// minimised cell after its coordinate tables. The old file is rewritten in
// place, so a second name linked to it sees the new report.
TEST(ReportOutputE2E, FirstLineReplacesAnyEarlierReportInPlace) {
  const std::string good = read_file(kExamples / "quartz/input.txt");
  std::string impossible = good;
  impossible.replace(impossible.find("90.000000 90.000000 120.000000   cell-minimised"), 30,
                     "10.000000 170.00000 10.0000000");
  const struct {
    const char* name;
    std::string old_report;
  } olds[] = {{"no file", ""},
              {"shorter", "earlier\r\n"},
              {"longer", std::string(5'000'000, 'x')}};
  const std::string* const inputs[] = {&good, &impossible};
  for (const std::string* input : inputs) {
    for (const auto& old : olds) {
      SCOPED_TRACE(std::string(old.name) + (input == &good ? ", good run" : ", failing run"));
      TempDir dir;
      const MemoryRunResult expected = run_in_memory(*input, dir.path().string());
      ASSERT_EQ(expected.status, input == &good ? 0 : 3);
      ASSERT_FALSE(expected.report.empty());
      write_file(dir / "input.txt", *input);
      if (!old.old_report.empty()) {
        write_file(dir / "output.txt", old.old_report);
        fs::create_hard_link(dir / "output.txt", dir / "link.txt");
      }
      const Outcome outcome = run_wsphere(dir.path());
      EXPECT_EQ(outcome.status, expected.status);
      EXPECT_EQ(read_file(dir / "output.txt"), expected.report);
      if (!old.old_report.empty()) {
        EXPECT_EQ(read_file(dir / "link.txt"), expected.report);
      }
    }
  }
}

// The quartz example moved 100 cells along a, with the block tables on: every
// x column of the report holds asterisks (in the block tables those of two
// images in three), in member rows too. Member row starts are rendered once
// per block atom and block coordinates once per value, then reused. Each
// statement with asterisks gives one message, each such statement here being
// one line.
TEST(ReportOutputE2E, AsterisksInReusedRowPartsGiveOneMessageEach) {
  std::istringstream lines(read_file(kExamples / "quartz/input.txt"));
  std::string input;
  std::smatch atom;
  const std::regex atom_line(R"(^(\s*\d+\s+[A-Za-z]+\d*\s+)(-?\d+\.\d+)(.*)$)");
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, atom, atom_line)) {
      line = atom[1].str() + std::to_string(std::stod(atom[2].str()) + 100.0) + atom[3].str();
    }
    input += line + "\n";
  }
  for (const char* table : {"block-initial", "block-minimised"}) {
    input.replace(input.find(std::string("0   ") + table), 1, "1");
  }
  TempDir dir;
  write_file(dir / "input.txt", input);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  const std::string report = read_file(dir / "output.txt");
  std::istringstream report_lines(report);
  int lines_with_asterisks = 0;
  int member_rows_with_asterisks = 0;
  int block_rows = 0;
  int block_rows_with_asterisks = 0;
  for (std::string line; std::getline(report_lines, line);) {
    const bool block_row = line.size() == 54 && line[37] == '.' && line[47] == '.';  // with its CR
    block_rows += block_row ? 1 : 0;
    if (line.find('*') == std::string::npos) continue;
    ++lines_with_asterisks;
    block_rows_with_asterisks += block_row ? 1 : 0;
    if (line.size() == 88 && line[line.size() - 5] == 'E') ++member_rows_with_asterisks;
  }
  EXPECT_GT(member_rows_with_asterisks, 100);
  EXPECT_EQ(block_rows, 2 * 27 * 9);
  EXPECT_EQ(block_rows_with_asterisks, 2 * 18 * 9);
  const std::string message =
      "runerr: error (63): output conversion error, unit 2, file " + (dir / "output.txt").string() + "\n";
  std::string expected_err;
  for (int k = 0; k < lines_with_asterisks; ++k) expected_err += message;
  EXPECT_EQ(outcome.err, expected_err);
}

// The report goes into a named pipe that nobody reads until the interrupt has
// come: the program is held up with full buffers. Then everything is read.
TEST(ReportOutputE2E, InterruptWhileTheReportIsHeldUpKeepsWholeLines) {
  const std::string input = large_report_input();
  TempDir dir;
  const std::string full_report = run_in_memory(input, dir.path().string()).report;
  write_file(dir / "input.txt", input);
  ASSERT_EQ(::mkfifo((dir / "output.txt").c_str(), 0600), 0);
  const int reader = ::open((dir / "output.txt").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  Process process(dir.path());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(process.pid(), SIGINT);
  std::string received;
  char chunk[65536];
  for (;;) {  // until the program has ended and the pipe is empty
    const ssize_t got = ::read(reader, chunk, sizeof chunk);
    if (got > 0) {
      received.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EAGAIN) {
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ::close(reader);
  const Outcome outcome = process.wait();
  EXPECT_EQ(outcome.status, 128 + SIGINT);
  EXPECT_EQ(outcome.err, "runerr: error (200): program aborting due to control-C event\n");
  ASSERT_GT(received.size(), 65536u);
  EXPECT_LT(received.size(), full_report.size());
  EXPECT_TRUE(full_report.compare(0, received.size(), received) == 0);
  EXPECT_EQ(received.substr(received.size() - 2), "\r\n");
}

// The report goes into a named pipe that nobody ever reads (the program's own
// read-write opening keeps it open): the first writes fill the pipe and the
// next one waits for good. An interrupt must end that wait and the run, and the
// closing must not wait for the pipe either.
TEST(ReportOutputE2E, InterruptEndsAWriteThatWaitsForAStalledPipe) {
  const std::string input = large_report_input();
  TempDir dir;
  write_file(dir / "input.txt", input);
  ASSERT_EQ(::mkfifo((dir / "output.txt").c_str(), 0600), 0);
  Process process(dir.path());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(process.pid(), SIGINT);
  bool ended = false;
  for (int waited = 0; waited < 1000 && !ended; ++waited) {  // at most 10 s
    siginfo_t info{};
    ended = ::waitid(P_PID, static_cast<id_t>(process.pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == process.pid();
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) ::kill(process.pid(), SIGKILL);
  const Outcome outcome = process.wait();
  EXPECT_TRUE(ended) << "the run went on waiting for the pipe after the interrupt";
  EXPECT_EQ(outcome.status, 128 + SIGINT);
  EXPECT_EQ(outcome.err, "runerr: error (200): program aborting due to control-C event\n");
}

}  // namespace
}  // namespace wsphere::testing
