// Helpers of the wsphere-input tests: data paths, small files in a temporary
// directory, and runs of the program in this process or as the built binary.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "companion/crystal.hpp"
#include "e2e_support.hpp"

namespace wsphere::companion::testing {

namespace fs = std::filesystem;
using wsphere::testing::read_file;
using wsphere::testing::TempDir;
using wsphere::testing::write_file;

inline const fs::path kData = WSPHERE_TEST_DATA;
inline const fs::path kGulp = kData / "gulp";
inline const fs::path kCif = kData / "cif";

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// run_companion with these arguments, its streams caught.
Result run_in_process(const std::vector<std::string>& args);

// The built wsphere-input, started in `directory`.
Result run_binary(const fs::path& directory, const std::vector<std::string>& args);

// The message of the InputError that `action` raises, or "" when it raises none.
template <class Action>
std::string error_of(Action&& action) {
  try {
    action();
  } catch (const InputError& failure) {
    return failure.what();
  }
  return {};
}

// Largest difference of two fractional coordinates, taken to the nearest
// lattice translate, over two lists of the same length.
double largest_coordinate_difference(const std::vector<Atom>& a, const std::vector<Atom>& b);

}  // namespace wsphere::companion::testing
