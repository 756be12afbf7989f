// wsphere.exe started as a Windows process: its files, its messages with
// Windows path names, and its exit codes in full 32 bits as GetExitCodeProcess
// returns them.
#include <windows.h>

#include <stdexcept>

#include <gtest/gtest.h>

#include "windows_support.hpp"

namespace wsphere::windows_testing {
namespace {

std::string example_input() { return read_file(test_data_folder() + "\\example_input.txt"); }

std::string replaced(std::string text, std::string_view what, std::string_view with) {
  const std::size_t at = text.find(what);
  if (at == std::string::npos) throw std::runtime_error("no " + std::string(what) + " in the input");
  return text.replace(at, what.size(), with);
}

std::string eleven_kinds() {
  std::string kinds;
  for (char k = '0'; k <= '9'; ++k) kinds += std::string("X") + k + " kind\n";
  const std::string text = replaced(example_input(), "3        kinds", "11 kinds");
  return replaced(text, "O        kind-3", kinds + "O        kind-3");
}

TEST(WindowsProcess, ExamplesGiveTheirReportsByteForByte) {
  for (const char* example : {"quartz", "kyanite", "lawsonite"}) {
    SCOPED_TRACE(example);
    const std::string source = examples_folder() + "\\" + example;
    TempFolder folder;
    write_file(folder / "input.txt", read_file(source + "\\input.txt"));
    write_file(folder / "output.txt", std::string(3 << 20, '#'));  // a longer earlier report
    const Outcome outcome = run_process(wsphere_exe(), folder.path());
    EXPECT_EQ(outcome.status, 0u);
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(read_file(folder / "output.txt") == read_file(source + "\\output.txt"));
  }
}

// Every ending, with its message line and its status in full.
TEST(WindowsProcess, MessagesAndStatusesInFull) {
  const std::string normal = example_input();
  const struct {
    const char* name;
    std::string input;
    DWORD status;
    int number;  // message of unit 1, 0 for none
    const char* text;
    const char* err;  // the whole standard error where number is 0
  } cases[] = {
      {"normal end", normal, 0, 0, "", ""},
      {"input cut short", normal.substr(0, normal.find("switches")), 3221225496u, 24, "end-of-file during read", ""},
      {"syntax error", replaced(normal, "6.0      radius", "6.0x     radius"), 3221225531u, 59,
       "list-directed I/O syntax error", ""},
      {"conversion error", replaced(normal, "6.0      radius", "1e99     radius"), 3221225536u, 64,
       "input conversion error", ""},
      {"eleven kinds", eleven_kinds(), 3221225633u, 0, "",
       "runerr: severe (161): Program Exception - array bounds exceeded\n"},
      {"impossible cell", replaced(normal, "5.4300 5.4300 5.4300 90.0 90.0 90.0",
                                   "5.43 5.43 5.43 10.0 170.0 10.0"),
       3u, 0, "", "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    write_file(folder / "input.txt", c.input);
    const Outcome outcome = run_process(wsphere_exe(), folder.path());
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.err, c.number == 0 ? std::string(c.err)
                                         : file_message(c.number, c.text, 1, folder / "input.txt"));
  }
}

TEST(WindowsProcess, MissingInputIsCreatedEmptyAndTheReportKept) {
  TempFolder folder;
  write_file(folder / "output.txt", "earlier report\r\n");
  const Outcome outcome = run_process(wsphere_exe(), folder.path());
  EXPECT_EQ(outcome.status, 3221225496u);
  EXPECT_EQ(outcome.err, file_message(24, "end-of-file during read", 1, folder / "input.txt"));
  ASSERT_TRUE(exists(folder / "input.txt"));
  EXPECT_EQ(read_file(folder / "input.txt"), "");
  EXPECT_EQ(read_file(folder / "output.txt"), "earlier report\r\n");
}

TEST(WindowsProcess, ReadOnlyInputIsReadNormally) {
  if (read_only_attribute_is_ignored()) GTEST_SKIP() << "read-only attribute not enforced for this user";
  TempFolder folder;
  write_file(folder / "input.txt", read_file(examples_folder() + "\\quartz\\input.txt"));
  set_read_only(folder / "input.txt", true);
  const Outcome outcome = run_process(wsphere_exe(), folder.path());
  EXPECT_EQ(outcome.status, 0u);
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(read_file(folder / "output.txt") == read_file(examples_folder() + "\\quartz\\output.txt"));
}

TEST(WindowsProcess, ReadOnlyOutputEndsAtTheFirstLine) {
  if (read_only_attribute_is_ignored()) GTEST_SKIP() << "read-only attribute not enforced for this user";
  TempFolder folder;
  write_file(folder / "input.txt", example_input());
  write_file(folder / "output.txt", "kept\r\n");
  set_read_only(folder / "output.txt", true);
  const Outcome outcome = run_process(wsphere_exe(), folder.path());
  EXPECT_EQ(outcome.status, 3221225519u);
  EXPECT_EQ(outcome.err, file_message(47, "write to READONLY file", 2, folder / "output.txt"));
  EXPECT_EQ(read_file(folder / "output.txt"), "kept\r\n");
}

TEST(WindowsProcess, FolderNamedLikeTheReportIsAnOpenFailure) {
  TempFolder folder;
  write_file(folder / "input.txt", example_input());
  ASSERT_TRUE(::CreateDirectoryA((folder / "output.txt").c_str(), nullptr));
  const Outcome outcome = run_process(wsphere_exe(), folder.path());
  EXPECT_EQ(outcome.status, 3221225502u);
  EXPECT_EQ(outcome.err, file_message(30, "open failure", 2, folder / "output.txt"));
}

// The three console events, delivered to the program's handler on a thread
// of their own as the system does: each ends the run at its first safe point
// with message 200 and its status, the earlier report untouched.
TEST(WindowsProcess, ConsoleEventsEndTheRunWithTheirStatus) {
  const struct {
    int event;
    const char* name;
    DWORD status;
  } cases[] = {{CTRL_C_EVENT, "control-C", 0xC000013Au},
               {CTRL_BREAK_EVENT, "control-BREAK", 1u},
               {CTRL_CLOSE_EVENT, "window-CLOSE", 2u}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    write_file(folder / "input.txt", example_input());
    write_file(folder / "output.txt", "kept\r\n");
    const Outcome outcome = run_process(event_probe_exe(), folder.path(), std::to_string(c.event));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.err, std::string("runerr: error (200): program aborting due to ") + c.name + " event\n");
    EXPECT_EQ(read_file(folder / "output.txt"), "kept\r\n");
  }
}

}  // namespace
}  // namespace wsphere::windows_testing

#ifdef WSPHERE_INPUT_EXE
namespace wsphere::windows_testing {
namespace {

// The companion writes input.txt from a minimisation's printed output with
// its bytes as on Linux (LF line ends), and wsphere.exe runs on it.
TEST(WindowsProcess, CompanionWritesAnInputThatRuns) {
  TempFolder folder;
  const std::string gout = test_data_folder() + "\\gulp\\stw-ge-c0002.gout";
  const Outcome made = run_process(WSPHERE_INPUT_EXE, folder.path(), "\"" + gout + "\" -o input.txt");
  ASSERT_EQ(made.status, 0u) << made.err;
  const std::string input = read_file(folder / "input.txt");
  EXPECT_EQ(input.find('\r'), std::string::npos);
  EXPECT_NE(input.find("\n186 "), std::string::npos);  // the atom count
  const Outcome ran = run_process(wsphere_exe(), folder.path());
  EXPECT_EQ(ran.status, 0u);
  EXPECT_EQ(ran.err, "");
}

}  // namespace
}  // namespace wsphere::windows_testing
#endif
