// Writes the benchmark inputs: <dir>/all/input.txt (every switch on) and
// <dir>/w-tables/input.txt (only the W tables), built from the example given:
// by default 7 x 4 x 4 cells cut to 1000 atoms, or NA x NB x NC cells cut to
// KEEP atoms.
//   wsphere_bench_input examples/quartz/input.txt build/bench-data
//   wsphere_bench_input examples/kyanite/input.txt build/kyanite-960 5 3 2 960
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/bench_input.hpp"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using wsphere::bench::Switches;
  if (argc != 3 && argc != 7) {
    std::cerr << "usage: wsphere_bench_input EXAMPLE_INPUT OUTPUT_DIRECTORY [NA NB NC KEEP]\n";
    return 2;
  }
  try {
    if (argc == 7) {
      const auto cells = wsphere::bench::supercell(wsphere::bench::read_example(argv[1]),
                                                   std::stoi(argv[3]), std::stoi(argv[4]),
                                                   std::stoi(argv[5]), std::stoi(argv[6]));
      for (const auto& [folder, switches] :
           {std::pair{"all", Switches::every_one}, std::pair{"w-tables", Switches::w_tables}}) {
        const fs::path dir = fs::path(argv[2]) / folder;
        fs::create_directories(dir);
        std::ofstream(dir / "input.txt", std::ios::binary)
            << wsphere::bench::input_text(cells, 6.0, switches);
      }
      return 0;
    }
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
