// The command line of wsphere-input.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "companion/kinds.hpp"

namespace wsphere::companion {

// A command line that cannot be followed; the program prints the message and
// a pointer to --help.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  std::vector<std::string> inputs;
  std::string output = "input.txt";
  bool force = false;
  double radius = 5.0;
  std::optional<double> bond_limit;  // empty: chosen from the initial structure
  std::vector<KindChoice> kinds;  // empty: the elements present
  std::string switches = "0000001111";
  std::array<int, 3> supercell{1, 1, 1};
  std::optional<std::string> title;
  int configuration = 0;  // of a printed output holding several; 0: the only one
  bool help = false;
};

Options parse_options(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace wsphere::companion
