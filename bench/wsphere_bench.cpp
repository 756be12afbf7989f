// Micro-benchmarks of the hot paths on the largest input (1000 atoms of a
// quartz supercell, 6 Å sphere): the neighbour pass by full scan and through
// the grid filter, the field renderers and member rows, and reading the input.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/sphere_filter.hpp"
#include "analysis/sphere_pass.hpp"
#include "bench/bench_input.hpp"
#include "driver/connection.hpp"
#include "driver/run.hpp"
#include "textio/report_writer.hpp"

namespace {

using namespace wsphere;
namespace fs = std::filesystem;

// A directory holding the largest input with only the W tables on, removed at exit.
class InputDirectory {
 public:
  InputDirectory() {
    std::string pattern = (fs::temp_directory_path() / "wsphere-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    std::ofstream(path_ / "input.txt", std::ios::binary)
        << bench::largest_input(std::string(WSPHERE_EXAMPLES) + "/quartz/input.txt",
                                bench::Switches::w_tables);
  }
  ~InputDirectory() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const InputDirectory& input_directory() {
  static const InputDirectory directory;
  return directory;
}

// A run on the largest input, messages to standard error.
std::unique_ptr<Run> run_on_input() {
  static StderrConsole console;
  return Run::on_directory(input_directory().path(), console);
}

// The structure of the largest input, read as the program reads it.
const Run& prepared_run() {
  static const std::unique_ptr<Run> run = [] {
    auto r = run_on_input();
    r->read_input();
    return r;
  }();
  return *run;
}

// Times `pass(setup, centre, on_member)` over every centre of the largest
// input; `per_run()` is called first in every iteration (the grid is built once
// per run).
template <class PerRun, class Pass>
void every_centre(benchmark::State& bench, PerRun&& per_run, Pass&& pass) {
  const Run& run = prepared_run();
  const SphereSetup setup = sphere_setup(analysis_input(run.state()));
  const int centres = run.state().cell_atom_count;
  long members = 0;
  for (auto _ : bench) {
    members = 0;
    auto prepared = per_run(setup);
    for (int i = 1; i <= centres; ++i) {
      const CentreSums sums = pass(prepared, setup, i, [&](const SphereMember&) { ++members; });
      benchmark::DoNotOptimize(sums);
    }
  }
  bench.counters["members/centre"] = static_cast<double>(members) / centres;
  bench.SetItemsProcessed(bench.iterations() * centres);
}

// Every centre against every block atom.
void NeighbourPassFullScan(benchmark::State& bench) {
  const Run& run = prepared_run();
  const AnalysisInput input = analysis_input(run.state());
  every_centre(
      bench, [](const SphereSetup&) { return 0; },
      [&](int, const SphereSetup& setup, int i, auto&& on_member) {
        return centre_pass(setup, input, i, on_member);
      });
}
BENCHMARK(NeighbourPassFullScan)->Unit(benchmark::kMillisecond);

// Building the grid once, then every centre through it.
void NeighbourPassFiltered(benchmark::State& bench) {
  const Run& run = prepared_run();
  const AnalysisInput input = analysis_input(run.state());
  if (!SphereFilter(sphere_setup(input), input).usable()) {
    bench.SkipWithError("the filter stands aside for this input");
    return;
  }
  every_centre(
      bench, [&](const SphereSetup& setup) { return SphereFilter(setup, input); },
      [&](SphereFilter& filter, const SphereSetup& setup, int i, auto&& on_member) {
        return filtered_centre_pass(setup, filter, input, i, on_member);
      });
}
BENCHMARK(NeighbourPassFiltered)->Unit(benchmark::kMillisecond);

class NullSink : public textio::WholeLineSink<> {
 public:
  void put_line(std::string_view line) override { benchmark::DoNotOptimize(line.data()); }
  void field_overflow() override {}
};

// One statement of one field, with a value that changes every time.
template <class Value>
void OneField(benchmark::State& bench, const char* layout_text, Value first, Value step) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout(layout_text);
  Value value = first;
  for (auto _ : bench) {
    writer.write(layout, {value});
    value += step;
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK_CAPTURE(OneField, I8, "5X,I8", std::int32_t{1}, std::int32_t{7});
BENCHMARK_CAPTURE(OneField, F8_5, "F8.5", 0.0123456f, 0.000731f);
BENCHMARK_CAPTURE(OneField, F8_3, "F8.3", 2.345678f, 0.000731f);
BENCHMARK_CAPTURE(OneField, F10_5, "F10.5", 0.0001234f, 0.0000731f);
BENCHMARK_CAPTURE(OneField, E14_4, "E14.4", 0.0001234f, 0.0000731f);

void TextField(benchmark::State& bench) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout("3X,A6");
  for (auto _ : bench) writer.write(layout, {std::string_view("Si123 ")});
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(TextField);

// Member rows cycle through this many rows of varied values.
constexpr int kRows = 4096;

// Deterministic values spread evenly between two bounds.
class Uniform {
 public:
  float operator()(float low, float high) {
    seed_ = seed_ * 1664525U + 1013904223U;
    return low + (high - low) * static_cast<float>(seed_ >> 8) / 16777216.0f;
  }

 private:
  std::uint32_t seed_ = 12345;
};

// Writes rows[k] with `write` for each iteration, cycling through the rows.
template <class Row, class Write>
void write_rows(benchmark::State& bench, const std::vector<Row>& rows, Write&& write) {
  int k = 0;
  for (auto _ : bench) {
    write(k, rows[static_cast<std::size_t>(k)]);
    k = (k + 1) % kRows;
  }
  bench.SetItemsProcessed(bench.iterations());
}

// The member row of the sphere section, the report's most frequent line, with
// coordinates, distances and changes that vary as in a real report.
void MemberRow(benchmark::State& bench) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout("5X,I8,3X,A6,3X,3(F8.5,2X),5X,F8.3,5X,E14.4");
  std::vector<std::array<float, 5>> rows(kRows);
  Uniform next;
  for (auto& row : rows) row = {next(-1, 2), next(-1, 2), next(-1, 2), next(1.5f, 6), next(0, 0.05f)};
  write_rows(bench, rows, [&](int k, const std::array<float, 5>& r) {
    writer.write(layout, {k * 27 + 13, std::string_view("Si1   "), r[0], r[1], r[2], r[3], r[4]});
  });
}
BENCHMARK(MemberRow);

// The member row as the analysis writes it: its start rendered before and
// passed as characters, then the two distances.
void MemberRowFromStart(benchmark::State& bench) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout("A55,5X,F8.3,5X,E14.4");
  const std::string start = "          13   Si1       0.12345   0.23456  -0.34567  ";
  std::vector<std::array<float, 2>> rows(kRows);
  Uniform next;
  for (auto& row : rows) row = {next(1.5f, 6), next(0, 0.05f)};
  write_rows(bench, rows, [&](int, const std::array<float, 2>& r) {
    writer.write(layout, {std::string_view(start), r[0], r[1]});
  });
}
BENCHMARK(MemberRowFromStart);

// Opening the files and reading the 1000-atom input (no table is written).
void ReadInput(benchmark::State& bench) {
  for (auto _ : bench) {
    auto run = run_on_input();
    run->read_input();
    benchmark::DoNotOptimize(run->state().cell_atom_count);
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(ReadInput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
