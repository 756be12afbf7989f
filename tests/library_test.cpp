// The library's analyse() against the program: on the examples and on
// generated structures its W, compliance and order equal the run's own values
// bit for bit, and its W and compliance print as the report's rows do.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/memory_units.hpp"
#include "driver/run.hpp"
#include "e2e_support.hpp"
#include "structure/read_structure.hpp"
#include "textio/report_writer.hpp"
#include "wsphere/analysis.hpp"

namespace wsphere::testing {
namespace {

const fs::path kExamples = WSPHERE_EXAMPLES;

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

std::string text_of(const std::array<char, 2>& bytes) { return {bytes.data(), bytes.size()}; }
std::string text_of(const std::array<char, 6>& bytes) { return {bytes.data(), bytes.size()}; }

// What the program read from `input`, before any correction.
std::unique_ptr<StructureState> read_state(const std::string& input) {
  auto state = std::make_unique<StructureState>();
  textio::MemorySource source(input);
  textio::FreeFormReader reader(source, 1);
  read_structure(reader, *state);
  return state;
}

// The library's arguments for the structure and settings of `state`.
Structure structure_of(const StructureState& state) {
  Structure s;
  s.initial_cell = state.initial_cell;
  s.minimised_cell = state.minimised_cell;
  for (int i = 1; i <= state.cell_atom_count; ++i) {
    s.names.push_back(text_of(state.cell_atom_names(i)));
    const auto& p = state.initial_positions;
    const auto& q = state.minimised_positions;
    s.initial_positions.push_back({p.x(i), p.y(i), p.z(i)});
    s.minimised_positions.push_back({q.x(i), q.y(i), q.z(i)});
  }
  return s;
}

Settings settings_of(const StructureState& state) {
  Settings settings{state.sphere_radius, state.bond_limit, {}};
  for (int k = 1; k <= state.kind_count; ++k) {
    settings.kinds.push_back({text_of(state.kind_symbols(k)), state.bond_reference(k)});
  }
  return settings;
}

// A whole run of the program on `input` in memory, kept for its results.
struct ProgramRun {
  MemoryConsole console;
  std::unique_ptr<Run> run;
  explicit ProgramRun(const std::string& input) {
    run = std::make_unique<Run>(std::make_unique<MemoryInput>(input, "/run/input.txt"),
                                std::make_unique<MemoryOutput>("/run/output.txt", console));
    run->read_input();
    run->build_block();
    run->analyse_spheres();
    run->close_files();
  }
};

// The library's values equal the run's: per atom, and in the order of W.
void expect_same_as_program(const std::string& input) {
  const Results lib = analyse(structure_of(*read_state(input)), settings_of(*read_state(input)));
  const ProgramRun program(input);
  const AnalysisResults& ran = program.run->results();
  const int count = program.run->state().cell_atom_count;
  ASSERT_EQ(lib.atoms.size(), static_cast<std::size_t>(count));
  ASSERT_EQ(lib.w_order.size(), static_cast<std::size_t>(count));
  for (int k = 1; k <= count; ++k) {
    const int atom = lib.w_order[k - 1];
    EXPECT_EQ(atom + 1, ran.atom_order(k)) << "place " << k;
    EXPECT_EQ(bits(lib.atoms[atom].w), bits(ran.w_values(k))) << "place " << k;
    EXPECT_EQ(bits(lib.atoms[k - 1].compliance), bits(ran.compliance(k))) << "atom " << k;
  }
}

// The rows of the W table in a report: the lines after its heading and the
// empty line below it, up to the next empty line.
std::vector<std::string> w_table_rows(const std::string& report) {
  const std::string heading =
      textio::to_cp1251("   no.        имя             среднее - W        податливость");
  std::vector<std::string> rows;
  std::size_t at = report.find(heading + "\r\n\r\n");
  if (at == std::string::npos) return rows;
  at += heading.size() + 4;
  for (std::size_t end; (end = report.find("\r\n", at)) != at && end != std::string::npos; at = end + 2) {
    rows.push_back(report.substr(at, end - at));
  }
  return rows;
}

TEST(Library, EqualsTheProgramOnEveryExample) {
  for (const char* example : {"quartz", "kyanite", "lawsonite"}) {
    SCOPED_TRACE(example);
    expect_same_as_program(read_file(kExamples / example / "input.txt"));
  }
}

// The W table of each shipped report: columns 30-39 hold W as F10.5 and
// 45-50 the compliance as F6.2.
TEST(Library, PrintsAsTheShippedReports) {
  for (const char* example : {"quartz", "kyanite", "lawsonite"}) {
    SCOPED_TRACE(example);
    const std::string input = read_file(kExamples / example / "input.txt");
    const auto state = read_state(input);
    const Results lib = analyse(structure_of(*state), settings_of(*state));
    const std::vector<std::string> rows = w_table_rows(read_file(kExamples / example / "output.txt"));
    ASSERT_EQ(rows.size(), lib.atoms.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      bool overflow = false;
      EXPECT_EQ(rows[i].substr(29, 10), textio::render_fixed(lib.atoms[i].w, 10, 5, overflow)) << i;
      EXPECT_EQ(rows[i].substr(44, 6), textio::render_fixed(lib.atoms[i].compliance, 6, 2, overflow)) << i;
    }
  }
}

// input.txt for a random structure: cells that are often oblique, atoms that
// sometimes jump across a face, radius and kinds varied.
class RandomInputs {
 public:
  explicit RandomInputs(unsigned seed) : engine_(seed) {}

  std::string next() {
    std::ostringstream text;
    text.precision(9);
    const double a = uniform(3.0, 9.0);
    const double b = uniform(3.0, 9.0);
    const double c = uniform(3.0, 9.0);
    const double angles[3] = {uniform(70.0, 110.0), uniform(70.0, 110.0), uniform(70.0, 120.0)};
    text << a << ' ' << b << ' ' << c << ' ' << angles[0] << ' ' << angles[1] << ' ' << angles[2] << " i\n";
    const double strain = uniform(0.95, 1.05);
    text << a * strain << ' ' << b * strain << ' ' << c << ' ' << angles[0] << ' ' << angles[1] << ' '
         << angles[2] + uniform(-2.0, 2.0) << " m\n";
    text << "title\n" << uniform(2.0, 7.0) << " r\n" << uniform(1.5, 2.5) << " b\n";
    const char* symbols[] = {"Si", "Al", "O"};
    const int kinds = static_cast<int>(uniform(1.0, 3.99));
    text << kinds << " k\n";
    for (int m = 0; m < kinds; ++m) text << symbols[3 - kinds + m] << " s\n";
    for (int m = 0; m + 1 < kinds; ++m) text << uniform(1.5, 2.0) << " ref\n";
    text << "switches\n";
    for (int s = 0; s < 10; ++s) text << "0 s\n";
    const int count = static_cast<int>(uniform(1.0, 40.0));
    text << "atoms\n" << count << " n\n";
    std::vector<std::string> names;
    std::vector<double> positions;
    for (int i = 0; i < count; ++i) {
      names.push_back(std::string(symbols[static_cast<int>(uniform(0.0, 2.99))]) + std::to_string(i + 1));
      for (int axis = 0; axis < 3; ++axis) positions.push_back(uniform(0.0, 1.0));
    }
    for (int i = 0; i < count; ++i) atom_line(text, i, names[i], &positions[3 * i], 0.0);
    for (int i = 0; i < count; ++i) atom_line(text, i, names[i], &positions[3 * i], 0.02);
    return text.str();
  }

 private:
  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(engine_);
  }

  // Moved by up to `shake`, and now and then across a cell face.
  void atom_line(std::ostringstream& text, int i, const std::string& name, const double* p, double shake) {
    text << i + 1 << ' ' << name;
    for (int axis = 0; axis < 3; ++axis) {
      double x = p[axis] + uniform(-shake, shake);
      if (shake > 0.0 && uniform(0.0, 1.0) < 0.05) x += x < 0.5 ? 1.0 : -1.0;
      text << ' ' << x;
    }
    text << '\n';
  }

  std::mt19937 engine_;
};

TEST(Library, EqualsTheProgramOnGeneratedStructures) {
  RandomInputs inputs(20261209);
  for (int n = 0; n < 200; ++n) {
    const std::string input = inputs.next();
    SCOPED_TRACE(input);
    expect_same_as_program(input);
    if (::testing::Test::HasFailure()) break;
  }
}

// Each atom's first kind and the member counts of the kinds: the mapping that
// the library adds to the report's kind lists.
TEST(Library, KindsOfAtomsFollowTheNameRules) {
  Structure s;
  s.initial_cell = s.minimised_cell = {10.0f, 10.0f, 10.0f, 90.0f, 90.0f, 90.0f};
  const char* names[] = {"Si1", "O1", "Os1", "Ca1"};
  for (int i = 0; i < 4; ++i) {
    s.names.push_back(names[i]);
    const Fractional p{0.1f + 0.2f * static_cast<float>(i), 0.5f, 0.5f};
    s.initial_positions.push_back(p);
    s.minimised_positions.push_back(p);
  }
  const Settings settings{3.0f, 2.0f, {{"Si", 1.6f}, {"Os", 2.0f}, {"O", 0.0f}}};
  const Results r = analyse(s, settings);
  EXPECT_EQ(r.atoms[0].kind, 0);
  EXPECT_EQ(r.atoms[1].kind, 2);   // "O1": the last kind, by its letter
  EXPECT_EQ(r.atoms[2].kind, 1);   // "Os1": kind Os first, and also the last kind
  EXPECT_EQ(r.atoms[3].kind, -1);
  ASSERT_EQ(r.kinds.size(), 3u);
  EXPECT_EQ(r.kinds[0].member_count, 1);
  EXPECT_EQ(r.kinds[1].member_count, 1);
  EXPECT_EQ(r.kinds[2].member_count, 2);
}

TEST(Library, ListsOfDifferentLengthAreRefused) {
  Structure s;
  s.names = {"O1"};
  s.initial_positions = {{0.1f, 0.1f, 0.1f}};
  EXPECT_THROW(analyse(s, Settings{}), std::invalid_argument);
}

// Beyond the program's 1000 atoms: a simple cubic lattice of 12 x 12 x 12
// atoms in one cell, where every atom has the same six nearest neighbours.
TEST(Library, HasNoCapacityOfItsOwn) {
  Structure s;
  s.initial_cell = {24.0f, 24.0f, 24.0f, 90.0f, 90.0f, 90.0f};
  s.minimised_cell = {24.24f, 24.24f, 24.24f, 90.0f, 90.0f, 90.0f};
  for (int n = 0; n < 12 * 12 * 12; ++n) {
    const Fractional p{static_cast<float>(n % 12) / 12.0f, static_cast<float>(n / 12 % 12) / 12.0f,
                       static_cast<float>(n / 144) / 12.0f};
    char name[8];
    std::snprintf(name, sizeof name, "X%d", n + 1);
    s.names.push_back(name);
    s.initial_positions.push_back(p);
    s.minimised_positions.push_back(p);
  }
  const Results r = analyse(s, Settings{2.1f, 2.1f, {{"X", 2.0f}}});
  ASSERT_EQ(r.atoms.size(), 1728u);
  for (const AtomResult& atom : r.atoms) {
    EXPECT_EQ(atom.member_count, 6);
    EXPECT_EQ(atom.bonded_count, 6);
    EXPECT_NEAR(atom.w, 0.0004f, 1e-6f);  // each distance grows by 1 %: 0.02 squared
  }
  std::vector<int> order = r.w_order;
  std::sort(order.begin(), order.end());
  for (int i = 0; i < 1728; ++i) ASSERT_EQ(order[i], i);
}

// Threads share out the atoms; the results are those of one thread, bit for
// bit, and a math error of any share is raised.
TEST(Library, ThreadsGiveTheResultsOfOne) {
  Structure s;
  s.initial_cell = {31.0f, 27.5f, 22.0f, 84.0f, 97.0f, 101.0f};
  s.minimised_cell = {31.2f, 27.4f, 22.1f, 84.5f, 96.8f, 101.3f};
  std::uint32_t seed = 12345;
  const auto unit = [&] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  for (int n = 0; n < 700; ++n) {
    const Fractional p{unit(), unit(), unit()};
    char name[8];
    std::snprintf(name, sizeof name, "%s%d", n % 3 == 0 ? "Si" : "O", n + 1);
    s.names.push_back(name);
    s.initial_positions.push_back(p);
    s.minimised_positions.push_back({p.x + 0.01f * (unit() - 0.5f), p.y + 0.01f * (unit() - 0.5f),
                                     p.z + 0.01f * (unit() - 0.5f)});
  }
  Settings settings{5.0f, 2.2f, {{"Si", 1.6f}, {"O", 1.6f}}};
  const Results one = analyse(s, settings);
  for (const int threads : {2, 3, 0}) {
    settings.threads = threads;
    const Results many = analyse(s, settings);
    ASSERT_EQ(many.atoms.size(), one.atoms.size());
    for (std::size_t i = 0; i < one.atoms.size(); ++i) {
      EXPECT_EQ(bits(many.atoms[i].w), bits(one.atoms[i].w)) << "atom " << i << ", " << threads;
      EXPECT_EQ(bits(many.atoms[i].compliance), bits(one.atoms[i].compliance)) << "atom " << i;
      EXPECT_EQ(many.atoms[i].member_count, one.atoms[i].member_count);
    }
    EXPECT_EQ(many.w_order, one.w_order);
  }
  s.minimised_positions.back().x = std::numeric_limits<float>::quiet_NaN();
  settings.threads = 2;
  EXPECT_THROW(analyse(s, settings), MathDomainError);
}

}  // namespace
}  // namespace wsphere::testing
