// End-to-end runs that check the bytes of the report.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kData = WSPHERE_TEST_DATA;

TEST(ReportE2E, CoordinateTablesOfTheExampleMatchByteForByte) {
  TempDir dir;
  write_file(dir / "input.txt", read_file(kData / "example_tables_input.txt"));
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(read_file(dir / "output.txt"), read_file(kData / "example_tables.expected"));
}

TEST(ReportE2E, NewReportLeavesNoTraceOfALongerEarlierOne) {
  TempDir dir;
  write_file(dir / "input.txt", read_file(kData / "example_tables_input.txt"));
  write_file(dir / "output.txt", std::string(100000, 'x'));
  ASSERT_EQ(run_wsphere(dir.path()).status, 0);
  EXPECT_EQ(read_file(dir / "output.txt"), read_file(kData / "example_tables.expected"));
}

TEST(ReportE2E, FailedRunLeavesTheEarlierReportUntouched) {
  TempDir dir;
  std::string text = read_file(kData / "example_tables_input.txt");
  text.resize(text.size() - 20);
  write_file(dir / "input.txt", text);
  write_file(dir / "output.txt", "earlier\r\n");
  ASSERT_EQ(run_wsphere(dir.path()).status, 24);
  EXPECT_EQ(read_file(dir / "output.txt"), "earlier\r\n");
}

TEST(ReportE2E, CoordinateTooWideIsPrintedAsAsterisksWithOneMessage) {
  TempDir dir;
  std::string text = read_file(kData / "example_tables_input.txt");
  // Initial x of Si1 becomes 100.0; its minimised x, 0.1261, lies more than
  // half a cell below it, so the correction raises that one to 1.1261.
  text.replace(text.find("1  Si1  0.12500"), 15, "1  Si1  100.000");
  write_file(dir / "input.txt", text);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "runerr: error (63): output conversion error, unit 2, file " +
                             (dir / "output.txt").string() + "\n");
  const std::string report = read_file(dir / "output.txt");
  EXPECT_NE(report.find("        1   Si1      ********   0.12500   0.12500\r\n"), std::string::npos);
  EXPECT_NE(report.find("        1   Si1       1.12610   0.12430   0.12550\r\n"), std::string::npos);
}

// Root ignores permission bits, so as root the program runs as "nobody" here.
class ReadOnlyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() == 0) user_ = 65534;
    fs::permissions(dir_.path(), fs::perms::all);
    write_file(dir_ / "input.txt", read_file(kData / "example_tables_input.txt"));
  }
  Outcome run() { return Process(dir_.path(), user_).wait(); }
  // True when the program really cannot write `file`.
  bool unwritable(const fs::path& file) {
    ::chmod(file.c_str(), 0444);
    return user_ >= 0 || ::access(file.c_str(), W_OK) != 0;
  }
  TempDir dir_;
  int user_ = -1;
};

TEST_F(ReadOnlyFiles, ReadOnlyOutputEndsTheRunAtTheFirstLine) {
  write_file(dir_ / "output.txt", "earlier\r\n");
  if (!unwritable(dir_ / "output.txt")) GTEST_SKIP() << "cannot make a file unwritable here";
  const Outcome outcome = run();
  if (outcome.status >= 125 && outcome.status <= 127) GTEST_SKIP() << "cannot start as nobody";
  EXPECT_EQ(outcome.status, 47);
  EXPECT_EQ(outcome.err,
            file_message(47, "write to READONLY file", 2, dir_ / "output.txt"));
  EXPECT_EQ(read_file(dir_ / "output.txt"), "earlier\r\n");
}

TEST_F(ReadOnlyFiles, ReadOnlyInputIsReadNormally) {
  if (!unwritable(dir_ / "input.txt")) GTEST_SKIP() << "cannot make a file unwritable here";
  const Outcome outcome = run();
  if (outcome.status >= 125 && outcome.status <= 127) GTEST_SKIP() << "cannot start as nobody";
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(read_file(dir_ / "output.txt"), read_file(kData / "example_tables.expected"));
}

TEST_F(ReadOnlyFiles, UnreadableInputIsRefusedWithoutTouchingTheReport) {
  write_file(dir_ / "output.txt", "earlier\r\n");
  ::chmod((dir_ / "input.txt").c_str(), 0);
  if (user_ < 0 && ::access((dir_ / "input.txt").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "cannot make a file unreadable here";
  }
  const Outcome outcome = run();
  if (outcome.status >= 125 && outcome.status <= 127) GTEST_SKIP() << "cannot start as nobody";
  EXPECT_EQ(outcome.status, 9);
  EXPECT_EQ(outcome.err, file_message(9, "permission to access file denied", 1, dir_ / "input.txt"));
  EXPECT_EQ(read_file(dir_ / "output.txt"), "earlier\r\n");
}

}  // namespace
}  // namespace wsphere::testing
