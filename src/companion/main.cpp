// wsphere-input: the program's entry.
#include <iostream>
#include <string>
#include <vector>

#include "companion/companion.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return wsphere::companion::run_companion(args, std::cout, std::cerr);
}
