#include "companion/input_file.hpp"

#include <cmath>
#include <cstdio>

#include "structure/input_format.hpp"

namespace wsphere::companion {

namespace {

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::string value_line(const std::string& value, const std::string& word) {
  std::string line = value;
  line.resize(std::max<std::size_t>(line.size() + 3, 9), ' ');
  return line + word + "\n";
}

std::string cell_line(const Cell& cell, const std::string& word) {
  std::string values;
  for (double v : {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma}) values += format("%.6f ", v);
  return values + "  " + word + "\n";
}

std::string atom_lines(const InputPlan& plan, const std::vector<std::array<double, 3>>& positions) {
  std::string text;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%4zu  ", i + 1);
    std::string name = text_item(plan.names[i]);
    name.resize(std::max<std::size_t>(name.size(), 8), ' ');
    text += number + name;
    for (double x : positions[i]) text += "  " + coordinate_text(x);
    text += "\n";
  }
  return text;
}

}  // namespace

std::string coordinate_text(double x) {
  long long units = std::llround((x - std::floor(x)) * 1.0e7);
  if (units >= 10000000) units -= 10000000;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0.%07lld", units);
  return buffer;
}

std::string text_item(const std::string& text) {
  if (!text.empty() && text.find_first_of(" \t,/'\"*") == std::string::npos) return text;
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
  return quoted + "'";
}

std::string input_text(const InputPlan& plan) {
  std::string text = cell_line(plan.initial_cell, "cell-initial") + cell_line(plan.minimised_cell, "cell-minimised");
  text += text_item(plan.title) + "\n";
  text += value_line(format("%.4f", plan.radius), "radius");
  text += value_line(format("%.4f", plan.bond_limit), "bond-limit");
  text += value_line(std::to_string(plan.kinds.size()), "kinds");
  for (std::size_t m = 0; m < plan.kinds.size(); ++m) {
    text += value_line(plan.kinds[m], "kind-" + std::to_string(m + 1));
  }
  for (std::size_t m = 0; m < plan.references.size(); ++m) {
    text += value_line(format("%.4f", plan.references[m]), "ref-" + std::to_string(m + 1));
  }
  text += "switches\n";
  for (std::size_t s = 0; s < kReportSwitchWords.size(); ++s) {
    text += value_line(std::string(1, plan.switches[s]), std::string(kReportSwitchWords[s]));
  }
  text += "atoms\n";
  text += value_line(std::to_string(plan.names.size()), "count");
  return text + atom_lines(plan, plan.initial) + atom_lines(plan, plan.minimised);
}

}  // namespace wsphere::companion
