// The written input file, and reading it back with wsphere's own reader.
#include <gtest/gtest.h>

#include "companion/input_file.hpp"
#include "companion_support.hpp"
#include "driver/memory_units.hpp"
#include "driver/run.hpp"
#include "structure/input_format.hpp"
#include "structure/read_structure.hpp"

namespace wsphere::companion::testing {
namespace {

TEST(InputFile, CoordinatesHaveSevenDecimalsInsideTheCell) {
  const struct {
    double x;
    const char* text;
  } cases[] = {
      {0.0, "0.0000000"},        {0.25, "0.2500000"},       {0.99999996, "0.0000000"},
      {0.99999994, "0.9999999"}, {-0.25, "0.7500000"},      {1.0, "0.0000000"},
      {0.12345678, "0.1234568"}, {-1e-12, "0.0000000"},     {3.5, "0.5000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(coordinate_text(c.x), c.text) << c.x;
}

TEST(InputFile, TextItemsAreQuotedWhenTheReaderWouldSplitThem) {
  const struct {
    const char* text;
    const char* item;
  } cases[] = {
      {"Si1", "Si1"},       {"O 12", "'O 12'"},     {"it's", "'it''s'"}, {"a/b", "'a/b'"},
      {"a,b", "'a,b'"},     {"3*x", "'3*x'"},       {"\"q\"", "'\"q\"'"}, {"", "''"},
      {"run-7", "run-7"},
  };
  for (const auto& c : cases) EXPECT_EQ(text_item(c.text), c.item) << c.text;
}

InputPlan sample_plan() {
  InputPlan plan;
  plan.initial_cell = {7.12, 7.8479, 5.5738, 89.974, 101.117, 106.0};
  plan.minimised_cell = {7.0896, 7.8173, 5.5497, 90.031, 101.098, 105.987};
  plan.title = "run 1/2, it's mine";
  plan.radius = 4.5;
  plan.bond_limit = 2.05;
  plan.kinds = {"O", "Si", "H"};
  plan.references = {1.6123, 1.7456};
  plan.switches = "1010101010";
  plan.names = {"O 1", "Si1", "H1", "O 2"};
  plan.initial = {{0.1, 0.2, 0.3}, {0.99, 0.5, 0.0}, {0.25, 0.75, 0.125}, {0.0000001, 0.4, 0.6}};
  plan.minimised = {{0.11, 0.19, 0.31}, {0.01, 0.5, 0.0}, {0.26, 0.74, 0.126}, {0.9999999, 0.41, 0.59}};
  return plan;
}

std::string name_of(const AtomName& name) { return std::string(name.data(), name.size()); }
std::string symbol_of(const KindSymbol& symbol) { return std::string(symbol.data(), symbol.size()); }

// Every value of the plan comes back from wsphere's reader as written, and the
// atoms that crossed a cell face are mended by wsphere's correction.
TEST(InputFile, ReadBackByWsphereWithoutAMessage) {
  const InputPlan plan = sample_plan();
  wsphere::MemoryConsole console;
  const auto run = std::make_unique<wsphere::Run>(
      std::make_unique<wsphere::MemoryInput>(input_text(plan), "/run/input.txt"),
      std::make_unique<wsphere::MemoryOutput>("/run/output.txt", console));
  ASSERT_NO_THROW(run->read_input());
  const StructureState& state = run->state();
  EXPECT_FLOAT_EQ(state.initial_cell.b, 7.8479f);
  EXPECT_FLOAT_EQ(state.minimised_cell.gamma, 105.987f);
  EXPECT_FLOAT_EQ(state.sphere_radius, 4.5f);
  EXPECT_FLOAT_EQ(state.bond_limit, 2.05f);
  ASSERT_EQ(state.kind_count, 3);
  EXPECT_EQ(symbol_of(state.kind_symbols(1)), "O ");
  EXPECT_EQ(symbol_of(state.kind_symbols(2)), "Si");
  EXPECT_EQ(symbol_of(state.kind_symbols(3)), "H ");
  EXPECT_FLOAT_EQ(state.bond_reference(1), 1.6123f);
  EXPECT_FLOAT_EQ(state.bond_reference(2), 1.7456f);
  EXPECT_EQ(state.print_initial_positions, 1);
  EXPECT_EQ(state.print_minimised_positions, 0);
  EXPECT_EQ(state.print_w_by_kind, 1);
  EXPECT_EQ(state.print_w_summary, 0);
  ASSERT_EQ(state.cell_atom_count, 4);
  const char* const names[] = {"O 1   ", "Si1   ", "H1    ", "O 2   "};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(name_of(state.cell_atom_names(i)), names[i - 1]);
    EXPECT_FLOAT_EQ(state.initial_positions.y(i), static_cast<float>(plan.initial[i - 1][1]));
  }
  EXPECT_FLOAT_EQ(state.minimised_positions.x(2), 1.01f);        // 0.99 -> 0.01 crossed the face
  EXPECT_LT(state.minimised_positions.x(4), 0.0f);  // 0.0000001 -> 0.9999999 crossed back
  EXPECT_GT(state.minimised_positions.x(4), -1e-6f);
  EXPECT_FLOAT_EQ(state.minimised_positions.z(1), 0.31f);
}

StructureState& read_back(const InputPlan& plan, StructureState& state) {
  textio::MemorySource source(input_text(plan));
  textio::FreeFormReader reader(source, 1);
  read_structure(reader, state);
  return state;
}

// Each switch lands on its own item, and the kinds and atoms at wsphere's
// capacities are read without a condition.
TEST(InputFile, SwitchesAndCapacitiesRoundTrip) {
  for (int s = 0; s < kReportSwitchCount; ++s) {
    InputPlan plan = sample_plan();
    plan.switches = std::string(kReportSwitchCount, '0');
    plan.switches[s] = '1';
    auto state = std::make_unique<StructureState>();
    const auto switches = report_switches(read_back(plan, *state));
    for (int t = 0; t < kReportSwitchCount; ++t) EXPECT_EQ(*switches[t], t == s ? 1 : 0) << s << " " << t;
  }
  InputPlan full = sample_plan();
  full.kinds = {"Si", "Al", "Mg", "Fe", "Ca", "Na", "Ti", "Mn", "Cr", "O"};
  full.references.assign(full.kinds.size() - 1, 1.9);
  full.names.assign(kCellCapacity, "O1");
  full.initial.assign(kCellCapacity, {0.5, 0.5, 0.5});
  full.minimised.assign(kCellCapacity, {0.5, 0.5, 0.5});
  auto state = std::make_unique<StructureState>();
  ASSERT_NO_THROW(read_back(full, *state));
  EXPECT_EQ(state->kind_count, kKindCapacity);
  EXPECT_EQ(symbol_of(state->kind_symbols(kKindCapacity)), "O ");
  EXPECT_EQ(state->cell_atom_count, kCellCapacity);
}

}  // namespace
}  // namespace wsphere::companion::testing
