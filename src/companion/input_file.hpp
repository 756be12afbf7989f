// The text of an input.txt for wsphere.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "companion/crystal.hpp"

namespace wsphere::companion {

struct InputPlan {
  Cell initial_cell;
  Cell minimised_cell;
  std::string title;
  double radius = 5.0;
  double bond_limit = 2.2;
  std::vector<std::string> kinds;
  std::vector<double> references;  // one per kind but the last
  std::string switches;            // ten digits 0 or 1
  std::vector<std::string> names;
  std::vector<std::array<double, 3>> initial;
  std::vector<std::array<double, 3>> minimised;
};

// Every value line carries a trailing word, as wsphere's reader expects.
std::string input_text(const InputPlan& plan);

// A fractional coordinate with seven decimals, in [0, 1) after rounding.
std::string coordinate_text(double x);

// A text value that wsphere's reader takes whole as its first item: quoted
// (marks doubled) when it holds a blank or a character that the reader treats
// specially.
std::string text_item(const std::string& text);

}  // namespace wsphere::companion
