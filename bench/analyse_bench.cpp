// analyse() of the library on kyanite supercells at a 6 Å sphere, W only:
// 960 atoms (5 x 3 x 2 cells), and from 1,000 to 100,000 atoms for the curve
// of time and memory against the atom count. Every allocation of the process
// is counted, so each benchmark reports the largest number of bytes that one
// analyse() held at once.
//   cmake --build build --target wsphere_analyse_bench && build/wsphere_analyse_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>

#include "bench/bench_input.hpp"
#include "wsphere/analysis.hpp"

namespace {

std::atomic<std::size_t> g_held{0};
std::atomic<std::size_t> g_peak{0};

}  // namespace

// Each block carries its size in front of it, so that delete can count it.
void* operator new(std::size_t size) {
  void* block = std::malloc(size + 16);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t held = g_held += size;
  std::size_t peak = g_peak.load();
  while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
  }
  return static_cast<char*>(block) + 16;
}

void operator delete(void* pointer) noexcept {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - 16;
  g_held -= *static_cast<std::size_t*>(block);
  std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace wsphere::bench {
namespace {

constexpr double kRadius = 6.0;

const ExampleStructure& kyanite() {
  static const ExampleStructure cell = read_example(WSPHERE_EXAMPLES "/kyanite/input.txt");
  return cell;
}

// The kinds of an example: its symbol lines, then the references of all but the last.
Settings settings_of(const ExampleStructure& s) {
  Settings settings{static_cast<float>(kRadius), static_cast<float>(s.bond_limit), {}};
  const std::size_t kinds = (s.kind_lines.size() + 1) / 2;
  for (std::size_t k = 0; k < kinds; ++k) {
    Kind kind;
    std::istringstream(s.kind_lines[k]) >> kind.symbol;
    if (k + 1 < kinds) std::istringstream(s.kind_lines[kinds + k]) >> kind.bond_reference;
    settings.kinds.push_back(kind);
  }
  return settings;
}

Structure structure_of(const ExampleStructure& s) {
  Structure structure;
  const auto cell = [](const std::array<double, 6>& c) {
    return Cell{static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]),
                static_cast<float>(c[3]), static_cast<float>(c[4]), static_cast<float>(c[5])};
  };
  const auto position = [](const ExampleAtom& a) {
    return Fractional{static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
  };
  structure.initial_cell = cell(s.initial_cell);
  structure.minimised_cell = cell(s.minimised_cell);
  for (std::size_t i = 0; i < s.initial_atoms.size(); ++i) {
    structure.names.push_back(s.initial_atoms[i].name);
    structure.initial_positions.push_back(position(s.initial_atoms[i]));
    structure.minimised_positions.push_back(position(s.minimised_atoms[i]));
  }
  return structure;
}

void analyse_supercell(benchmark::State& bench, int na, int nb, int nc, int keep,
                       int threads = 1) {
  const ExampleStructure cells = supercell(kyanite(), na, nb, nc, keep);
  const Structure structure = structure_of(cells);
  Settings settings = settings_of(cells);
  settings.threads = threads;
  std::size_t peak = 0;
  for (auto _ : bench) {
    const std::size_t before = g_held;
    g_peak = before;
    const Results results = analyse(structure, settings);
    benchmark::DoNotOptimize(results.atoms.data());
    peak = g_peak - before;
  }
  bench.counters["atoms"] = static_cast<double>(structure.names.size());
  bench.counters["peak_MB"] = static_cast<double>(peak) / 1.0e6;
  bench.counters["bytes/atom"] = static_cast<double>(peak) / static_cast<double>(structure.names.size());
}

// The 960-atom supercell.
void Analyse960(benchmark::State& bench) { analyse_supercell(bench, 5, 3, 2, 960); }
BENCHMARK(Analyse960)->Unit(benchmark::kMillisecond);

// The same with the spheres shared by two threads (Time is the wall clock).
void Analyse960TwoThreads(benchmark::State& bench) { analyse_supercell(bench, 5, 3, 2, 960, 2); }
BENCHMARK(Analyse960TwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

// 96,000 atoms on two threads.
void Analyse96000TwoThreads(benchmark::State& bench) {
  analyse_supercell(bench, 50, 30, 2, 96000, 2);
}
BENCHMARK(Analyse96000TwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

// 5 x 3 x 2 cells times 1, 2, 5, 10 x 10 (x 1): 960 to 96,000 atoms.
void AnalyseScaling(benchmark::State& bench) {
  const int na = static_cast<int>(bench.range(0));
  const int nb = static_cast<int>(bench.range(1));
  analyse_supercell(bench, 5 * na, 3 * nb, 2, 32 * 30 * na * nb);
}
BENCHMARK(AnalyseScaling)
    ->Args({1, 1})->Args({2, 1})->Args({2, 2})->Args({5, 2})->Args({5, 5})->Args({10, 5})
    ->Args({10, 10})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wsphere::bench

BENCHMARK_MAIN();
