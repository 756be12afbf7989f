// The analysis on real and made-up structures: physical checks in memory and
// end-to-end runs of the binary.
#include <cmath>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "analysis/metric.hpp"
#include "driver/memory_units.hpp"
#include "driver/run.hpp"
#include "e2e_support.hpp"

namespace wsphere::testing {
namespace {

const fs::path kData = WSPHERE_TEST_DATA;
const fs::path kExamples = WSPHERE_EXAMPLES;

// Replaces the line that starts with `start` (its first occurrence) by `line`.
void replace_line(std::string& text, std::string_view start, std::string_view line) {
  const std::size_t at = text.find(start);
  ASSERT_NE(at, std::string::npos) << start;
  text.replace(at, text.find('\n', at) - at, line);
}

// Every report switch of `text` set to `value`.
std::string with_switches(std::string text, char value) {
  const std::size_t from = text.find("switches");
  std::size_t at = text.find('\n', from) + 1;
  for (int line = 0; line < 10; ++line) {
    at = text.find_first_not_of(" \t", at);
    text.replace(at, text.find_first_of(" \t", at) - at, 1, value);
    at = text.find('\n', at) + 1;
  }
  return text;
}

// The quartz example with its minimised cell and atoms replaced.
std::string quartz_with_minimised(const std::string& cell_line, bool same_atoms) {
  std::string text = read_file(kExamples / "quartz/input.txt");
  std::istringstream lines(text);
  std::string out;
  std::string line;
  int number = 0;
  std::vector<std::string> initial_atoms;
  while (std::getline(lines, line)) {
    ++number;
    if (number == 2) line = cell_line;
    if (number >= 25 && number <= 33) initial_atoms.push_back(line);
    if (same_atoms && number >= 34 && number <= 42) line = initial_atoms[number - 34];
    out += line + "\n";
  }
  return out;
}

struct Analysed {
  MemoryConsole console;
  std::unique_ptr<Run> run;
};

void analyse(Analysed& a, const std::string& input) {
  a.run = std::make_unique<Run>(
      std::make_unique<MemoryInput>(with_switches(input, '0'), "/run/input.txt"),
      std::make_unique<MemoryOutput>("/run/output.txt", a.console));
  a.run->read_input();
  a.run->build_block();
  a.run->analyse_spheres();
  a.run->close_files();
}

// The squared initial distance is rounded to single precision before its root
// and the minimised one is not, so "no change" leaves a W of rounding size only.
TEST(QuartzPhysics, IdenticalStatesGiveZeroW) {
  Analysed a;
  analyse(a, quartz_with_minimised(
                 "4.901900 4.901900 5.398800 90.000000 90.000000 120.000000 same", true));
  for (int i = 1; i <= 9; ++i) EXPECT_LT(a.run->results().w_values(i), 1e-12f) << i;
}

// Scaling every minimised edge by 1.01 scales every distance by 1.01, so each
// W is 0.0001 times the mean squared initial distance of the atom's sphere.
TEST(QuartzPhysics, UniformStrainGivesWFromTheSquaredDistances) {
  Analysed a;
  analyse(a, quartz_with_minimised(
                 "4.950919 4.950919 5.452788 90.000000 90.000000 120.000000 scaled", true));
  const StructureState& state = a.run->state();
  Block block;
  build_block(analysis_input(state), block);
  const CellMetric metric = cell_metric(state.initial_cell);
  const double radius_sq = static_cast<double>(state.sphere_radius) * state.sphere_radius;
  for (int k = 1; k <= 9; ++k) {
    const int atom = a.run->results().atom_order(k);
    double sum = 0.0;
    int members = 0;
    for (int j = 1; j <= 27 * 9; ++j) {
      const double q = squared_distance(
          metric, block.block_initial_positions.x(j) - state.initial_positions.x(atom),
          block.block_initial_positions.y(j) - state.initial_positions.y(atom),
          block.block_initial_positions.z(j) - state.initial_positions.z(atom));
      if (q > 1e-6 && q <= radius_sq) {
        sum += q;
        ++members;
      }
    }
    ASSERT_GT(members, 0);
    const double expected = 0.0001 * sum / members;
    EXPECT_NEAR(a.run->results().w_values(k), expected, expected * 2e-3) << "atom " << atom;
  }
}

// The made-up example with a kind of one atom (Al1) and the summary on: the
// sigma of that kind is NaN and the run ends normally.
TEST(AnalysisE2E, KindWithOneMemberHasNaNSigma) {
  TempDir dir;
  write_file(dir / "input.txt", with_switches(read_file(kData / "example_input.txt"), '1'));
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  const std::string report = read_file(dir / "output.txt");
  EXPECT_NE(report.find("  \xe0\xf2\xee\xec      Al : \xf1\xf0\xe5\xe4\xed\xe5\xe5 W - "),
            std::string::npos);
  EXPECT_NE(report.find("\xf1\xe8\xe3\xec\xe0 -  NaN      \r\n"), std::string::npos);
}

TEST(AnalysisE2E, EverySwitchOnGivesTheCheckedReport) {
  TempDir dir;
  write_file(dir / "input.txt", with_switches(read_file(kData / "example_input.txt"), '1'));
  ASSERT_EQ(run_wsphere(dir.path()).status, 0);
  EXPECT_EQ(read_file(dir / "output.txt"), read_file(kData / "example_all.expected"));
}

// Real structures, each with the switches it ships with; the expected reports
// were compared with an independent model of the arithmetic.
TEST(AnalysisE2E, ShippedExamplesGiveTheirCheckedReports) {
  for (const char* example : {"quartz", "kyanite", "lawsonite"}) {
    SCOPED_TRACE(example);
    TempDir dir;
    write_file(dir / "input.txt", read_file(kExamples / example / "input.txt"));
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(read_file(dir / "output.txt"),
              read_file(kData / (std::string(example) + ".expected")));
  }
}

TEST(AnalysisE2E, CellThatNoParallelepipedHasEndsInTheMathError) {
  TempDir dir;
  std::string text = read_file(kData / "example_input.txt");
  replace_line(text, "5.4300 5.4300", "5.43 5.43 5.43 10.0 170.0 10.0 impossible");
  write_file(dir / "input.txt", text);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.err, "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n");
  // The coordinate tables written before the analysis stay.
  EXPECT_EQ(read_file(dir / "output.txt").substr(0, 100),
            read_file(kData / "example_tables.expected").substr(0, 100));
}

// Without kinds there is no last kind: the kind lists hold their headings only.
TEST(AnalysisE2E, NoKindsWritesHeadingsAndNoLastKind) {
  TempDir dir;
  std::string text = with_switches(read_file(kData / "example_input.txt"), '0');
  replace_line(text, "3        kinds", "0 kinds");
  for (const char* line : {"Si       kind-1", "Al       kind-2", "O        kind-3",
                           "1.612    ref-1", "1.745    ref-2"}) {
    text.erase(text.find(line), std::string(line).size() + 1);
  }
  replace_line(text, "0        w-by-kind", "1 w-by-kind");
  replace_line(text, "0        w-summary", "1 w-summary");
  write_file(dir / "input.txt", text);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  const std::string heading =
      "\r\n\r\n\r\n   \xc7\xed\xe0\xf7\xe5\xed\xe8\xff W \xef\xee \xe0\xf2\xee\xec\xe0\xec:\r\n\r\n";
  const std::string columns =
      "\r\n   no.    \xe8\xec\xff            \xf1\xf0\xe5\xe4\xed\xe5\xe5- W        "
      "\xef\xee\xe4\xe0\xf2\xeb\xe8\xe2\xee\xf1\xf2\xfc\r\n\r\n";
  EXPECT_EQ(read_file(dir / "output.txt"), heading + columns + "\r\n\r\n");
}

// The largest cell the program takes, every table on.
TEST(AnalysisE2E, ThousandAtomsWithEverySwitchOnRunToTheEnd) {
  TempDir dir;
  std::string text = with_switches(read_file(kData / "example_input.txt"), '1');
  // Atoms 5.43 apart: a dozen or so neighbours each within the radius of 6.
  replace_line(text, "5.4300 5.4300", "54.3 54.3 54.3 90 90 90 initial");
  replace_line(text, "5.4812 5.4790", "54.8 54.8 54.8 90 90 90 minimised");
  text = text.substr(0, text.find("3        count"));
  text += "1000 count\n";
  std::string initial;
  std::string minimised;
  for (int i = 0; i < 1000; ++i) {
    const int x = i % 10, y = (i / 10) % 10, z = i / 100;
    const char* kind = i % 3 == 0 ? "Si" : i % 3 == 1 ? "Al" : "O";
    std::ostringstream a, b;
    a << i + 1 << ' ' << kind << i << ' ' << x / 10.0 << ' ' << y / 10.0 << ' ' << z / 10.0 << '\n';
    b << i + 1 << ' ' << kind << i << ' ' << x / 10.0 + 0.001 * (i % 7) << ' ' << y / 10.0 << ' '
      << z / 10.0 - 0.002 * (i % 5) << '\n';
    initial += a.str();
    minimised += b.str();
  }
  write_file(dir / "input.txt", text + initial + minimised);
  const Outcome outcome = run_wsphere(dir.path());
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_GT(fs::file_size(dir / "output.txt"), 4000000u);
}

// A negative atom count reads no atom lines and every loop over the atoms and
// their 27 images runs zero times, also where 27 times the count does not fit
// a 32-bit integer: the report is the one of a count of 0, headings only.
TEST(AnalysisE2E, NegativeAtomCountsGiveTheReportOfNoAtoms) {
  std::string text = with_switches(read_file(kData / "example_input.txt"), '1');
  text = text.substr(0, text.find("3        count"));
  const auto report_for = [&](const std::string& count) {
    TempDir dir;
    write_file(dir / "input.txt", text + count + " count\n");
    const Outcome outcome = run_wsphere(dir.path());
    EXPECT_EQ(outcome.status, 0) << count;
    EXPECT_EQ(outcome.err, "") << count;
    return read_file(dir / "output.txt");
  };
  const std::string none = report_for("0");
  ASSERT_FALSE(none.empty());
  for (const char* count : {"-1", "-79536431", "-79536432", "-301402060", "-2147483648"}) {
    EXPECT_EQ(report_for(count), none) << count;
  }
}

}  // namespace
}  // namespace wsphere::testing
