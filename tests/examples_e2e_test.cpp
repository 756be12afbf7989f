// The shipped examples: every folder of examples/ holds an input.txt and the
// output.txt that the program writes for it, and a fresh run must give that
// report again to the byte, so that no change of the report goes unnoticed.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kExamples = WSPHERE_EXAMPLES;
const fs::path kData = WSPHERE_TEST_DATA;

std::set<std::string> example_names() {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(kExamples)) {
    if (entry.is_directory()) names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(ExamplesE2E, TheThreeRealStructuresAreShipped) {
  const std::set<std::string> names = example_names();
  for (const char* name : {"quartz", "kyanite", "lawsonite"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

TEST(ExamplesE2E, FreshRunOfEveryExampleGivesItsCheckedInReport) {
  for (const std::string& name : example_names()) {
    SCOPED_TRACE(name);
    const fs::path folder = kExamples / name;
    ASSERT_TRUE(fs::exists(folder / "output.txt")) << "an example needs its output.txt";
    TempDir dir;
    write_file(dir / "input.txt", read_file(folder / "input.txt"));
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out, "");
    // EXPECT_TRUE rather than EXPECT_EQ: two long Windows-1251 reports are
    // better compared by running the example in place and diffing with git.
    EXPECT_TRUE(read_file(dir / "output.txt") == read_file(folder / "output.txt"))
        << "the report differs from " << (folder / "output.txt")
        << "; run the example in its folder and see git diff --text";
  }
}

// The regression data in tests/data was checked independently of the program;
// the example reports must not drift from it.
TEST(ExamplesE2E, CheckedInReportsEqualTheIndependentlyCheckedData) {
  for (const char* name : {"quartz", "kyanite", "lawsonite"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(read_file(kExamples / name / "output.txt") ==
                read_file(kData / (std::string(name) + ".expected")));
  }
}

}  // namespace
}  // namespace wsphere::testing
