// Writes the benchmark inputs: <dir>/all/input.txt (every switch on) and
// <dir>/w-tables/input.txt (only the W tables), built from the example given.
//   wsphere_bench_input examples/quartz/input.txt build/bench-data
#include <filesystem>
#include <fstream>
#include <iostream>

#include "bench/bench_input.hpp"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using wsphere::bench::Switches;
  if (argc != 3) {
    std::cerr << "usage: wsphere_bench_input EXAMPLE_INPUT OUTPUT_DIRECTORY\n";
    return 2;
  }
  try {
    for (const auto& [folder, switches] :
         {std::pair{"all", Switches::every_one}, std::pair{"w-tables", Switches::w_tables}}) {
      const fs::path dir = fs::path(argv[2]) / folder;
      fs::create_directories(dir);
      std::ofstream(dir / "input.txt", std::ios::binary)
          << wsphere::bench::largest_input(argv[1], switches);
    }
  } catch (const std::exception& failure) {
    std::cerr << "wsphere_bench_input: " << failure.what() << '\n';
    return 1;
  }
  return 0;
}
