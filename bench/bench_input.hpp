// The largest input of the benchmarks: a supercell of a real structure (by
// default the quartz example of this repository, 7 x 4 x 4 cells, the first
// 1000 atoms), a 6 Å sphere, every report switch on or only the W tables on.
// Deterministic: the same example gives the same bytes on every machine.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace wsphere::bench {

struct ExampleAtom {
  std::string name;
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// The parts of an input file that a supercell keeps or repeats.
struct ExampleStructure {
  std::array<double, 6> initial_cell{};
  std::array<double, 6> minimised_cell{};
  std::string title;
  double bond_limit = 0.0;
  std::vector<std::string> kind_lines;       // symbol lines, then reference lines
  std::vector<ExampleAtom> initial_atoms;
  std::vector<ExampleAtom> minimised_atoms;
};

// Reads an input file laid out as the shipped examples are. Throws
// std::runtime_error when the file is missing or does not have that layout.
ExampleStructure read_example(const std::string& path);

// The cell repeated na x nb x nc times, cut to its first `keep` atoms. Each
// minimised coordinate is first brought within half a cell of its initial
// one, then every copy is displaced by a small deterministic amount so that
// the copies are not exact repeats.
ExampleStructure supercell(const ExampleStructure& cell, int na, int nb, int nc, int keep);

enum class Switches { every_one, w_tables };

// The text of input.txt for `structure` with the given sphere radius.
std::string input_text(const ExampleStructure& structure, double radius, Switches switches);

// The benchmark input built from `example_path` (the quartz example).
std::string largest_input(const std::string& example_path, Switches switches);

}  // namespace wsphere::bench
