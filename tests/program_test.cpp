// The run on bytes in memory against the real program on files: same report,
// same messages, same status; and runs in one process leave nothing behind.
#include <string>

#include <gtest/gtest.h>

#include "driver/program.hpp"
#include "driver/system.hpp"
#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kData = WSPHERE_TEST_DATA;
const fs::path kExamples = WSPHERE_EXAMPLES;

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  return text.replace(text.find(from), from.size(), to);
}

struct Case {
  const char* name;
  std::string input;
};

std::vector<Case> cases() {
  const std::string example = read_file(kData / "example_input.txt");
  const std::string tables = read_file(kData / "example_tables_input.txt");
  return {
      {"every table", replaced(example, "0        sphere-details", "1 details")},
      {"coordinate tables", tables},
      {"quartz", read_file(kExamples / "quartz/input.txt")},
      {"kyanite", read_file(kExamples / "kyanite/input.txt")},
      {"lawsonite", read_file(kExamples / "lawsonite/input.txt")},
      {"empty input", ""},
      {"cut short", example.substr(0, example.size() / 2)},
      {"bad number", replaced(example, "6.0      radius", "6.0x radius")},
      {"eleven kinds", replaced(example, "3        kinds", "11 kinds")},
      {"impossible cell", replaced(example, "5.4300 5.4300 5.4300 90.0 90.0 90.0",
                                   "5.43 5.43 5.43 10.0 170.0 10.0")},
      {"asterisks", replaced(tables, "1  Si1  0.12500", "1  Si1  100.000")},
  };
}

TEST(InMemoryRun, GivesWhatTheProgramGivesOnFiles) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    write_file(dir / "input.txt", c.input);
    const Outcome on_files = run_wsphere(dir.path());
    const MemoryRunResult in_memory = run_in_memory(c.input, dir.path().string());
    EXPECT_EQ(in_memory.status, on_files.status);
    EXPECT_EQ(in_memory.messages, on_files.err);
    EXPECT_EQ(in_memory.report, read_file(dir / "output.txt"));
  }
}

// Every run starts from nothing: a run after all the others, failures
// included, gives what it gives alone.
TEST(InMemoryRun, RunsInOneProcessAreIndependent) {
  std::vector<MemoryRunResult> first;
  for (const Case& c : cases()) first.push_back(run_in_memory(c.input));
  const std::vector<Case> again = cases();
  for (std::size_t i = again.size(); i-- > 0;) {
    SCOPED_TRACE(again[i].name);
    const MemoryRunResult result = run_in_memory(again[i].input);
    EXPECT_EQ(result.status, first[i].status);
    EXPECT_EQ(result.messages, first[i].messages);
    EXPECT_EQ(result.report, first[i].report);
  }
}

#ifndef _WIN32
// The files' names in messages on POSIX systems: the working directory and the
// name, with one slash between them also at the root.
TEST(FullPath, JoinsTheWorkingDirectoryAndTheName) {
  const fs::path before = fs::current_path();
  TempDir dir;
  for (const fs::path& where : {fs::path("/"), dir.path()}) {
    fs::current_path(where);
    const std::string directory = fs::current_path().string();
    const std::string expected = directory == "/" ? "/input.txt" : directory + "/input.txt";
    EXPECT_EQ(full_path("input.txt"), expected);
  }
  fs::current_path(before);
}
#endif

}  // namespace
}  // namespace wsphere::testing
