// Micro-benchmarks of the two hot paths: the sphere pass over the block and
// the rendering of member rows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "analysis/block.hpp"
#include "analysis/sphere_pass.hpp"
#include "textio/report_writer.hpp"

namespace {

using namespace wsphere;

// A 10 x 10 x 10 grid of atoms in a cubic cell, slightly moved.
struct GridCell {
  StructureState state;
  Block block;
  explicit GridCell(float edge) {
    state.initial_cell = {edge, edge, edge, 90.0f, 90.0f, 90.0f};
    state.minimised_cell = {edge * 1.01f, edge, edge, 90.0f, 90.0f, 90.0f};
    state.sphere_radius = 6.0f;
    state.bond_limit = 2.2f;
    state.cell_atom_count = 1000;
    for (int i = 1; i <= 1000; ++i) {
      const int n = i - 1;
      state.initial_positions.x(i) = static_cast<float>(n % 10) / 10.0f;
      state.initial_positions.y(i) = static_cast<float>(n / 10 % 10) / 10.0f;
      state.initial_positions.z(i) = static_cast<float>(n / 100) / 10.0f;
      state.minimised_positions.x(i) = state.initial_positions.x(i) + 0.001f * static_cast<float>(n % 7);
      state.minimised_positions.y(i) = state.initial_positions.y(i);
      state.minimised_positions.z(i) = state.initial_positions.z(i);
    }
    build_block(state, block);
  }
};

void CentrePass(benchmark::State& bench) {
  const auto grid = std::make_unique<GridCell>(static_cast<float>(bench.range(0)));
  const GridCell& cell = *grid;
  const SphereSetup setup = sphere_setup(cell.state);
  int centre = 1;
  for (auto _ : bench) {
    int members = 0;
    const CentreSums sums = centre_pass(setup, cell.state, cell.block, centre,
                                        [&](const SphereMember&) { ++members; });
    benchmark::DoNotOptimize(sums);
    centre = centre % 1000 + 1;
  }
  bench.SetItemsProcessed(bench.iterations() * 27000);
}
BENCHMARK(CentrePass)->Arg(20)->Arg(54);

class NullSink : public textio::LineSink {
 public:
  void put_line(std::string_view line) override { benchmark::DoNotOptimize(line.data()); }
  void field_overflow() override {}
};

void MemberRow(benchmark::State& bench) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout("5X,I8,3X,A6,3X,3(F8.5,2X),5X,F8.3,5X,E14.4");
  float x = 0.123456f;
  for (auto _ : bench) {
    writer.write(layout, {12345, std::string_view("Si1   "), x, -0.5f, 1.25f, 3.4567f, 0.0123f});
    x += 1e-6f;
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(MemberRow);

}  // namespace

BENCHMARK_MAIN();
