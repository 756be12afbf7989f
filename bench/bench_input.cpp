#include "bench/bench_input.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace wsphere::bench {

namespace {

constexpr int kSupercell[3] = {7, 4, 4};
constexpr int kAtoms = 1000;
constexpr double kRadius = 6.0;
// Largest displacement of a copy, in fractions of the example's cell.
constexpr double kJitter = 2.0e-4;

class Lines {
 public:
  explicit Lines(const std::string& path) : in_(path) {
    if (!in_) throw std::runtime_error("cannot read " + path);
  }
  std::istringstream next() {
    std::string line;
    if (!std::getline(in_, line)) throw std::runtime_error("the example ends too early");
    return std::istringstream(line);
  }
  std::string next_text() { return next().str(); }

 private:
  std::ifstream in_;
};

std::array<double, 6> read_cell(Lines& lines) {
  std::array<double, 6> cell{};
  std::istringstream line = lines.next();
  for (double& value : cell) line >> value;
  if (!line) throw std::runtime_error("bad cell line in the example");
  return cell;
}

template <class T>
T first_value(Lines& lines) {
  T value{};
  if (!(lines.next() >> value)) throw std::runtime_error("bad value line in the example");
  return value;
}

std::vector<ExampleAtom> read_atoms(Lines& lines, int count) {
  std::vector<ExampleAtom> atoms(static_cast<std::size_t>(count));
  for (ExampleAtom& atom : atoms) {
    int number = 0;
    if (!(lines.next() >> number >> atom.name >> atom.x >> atom.y >> atom.z)) {
      throw std::runtime_error("bad atom line in the example");
    }
  }
  return atoms;
}

// A minimised coordinate brought within half a cell of the initial one.
double near(double initial, double minimised) {
  if (minimised - initial > 0.5) return minimised - 1.0;
  if (minimised - initial < -0.5) return minimised + 1.0;
  return minimised;
}

// Deterministic displacements in [-kJitter, kJitter].
class Jitter {
 public:
  double next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(state_ >> 11) / 9007199254740992.0 * 2.0 - 1.0) * kJitter;
  }

 private:
  std::uint64_t state_ = 20260;
};

std::string kind_of(const std::string& name) {
  return name.size() > 1 && std::isalpha(static_cast<unsigned char>(name[1])) ? name.substr(0, 2)
                                                                                : name.substr(0, 1);
}

void append_cell(std::string& out, const std::array<double, 6>& cell, const char* word) {
  char line[160];
  std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f %.6f %.6f   %s\n", cell[0], cell[1], cell[2],
                cell[3], cell[4], cell[5], word);
  out += line;
}

void append_atoms(std::string& out, const std::vector<ExampleAtom>& atoms) {
  char line[160];
  int number = 0;
  for (const ExampleAtom& atom : atoms) {
    std::snprintf(line, sizeof line, "%6d  %-6s %11.7f %11.7f %11.7f\n", ++number,
                  atom.name.c_str(), atom.x, atom.y, atom.z);
    out += line;
  }
}

}  // namespace

ExampleStructure read_example(const std::string& path) {
  Lines lines(path);
  ExampleStructure s;
  s.initial_cell = read_cell(lines);
  s.minimised_cell = read_cell(lines);
  s.title = lines.next_text();
  first_value<double>(lines);  // the example's own radius
  s.bond_limit = first_value<double>(lines);
  const int kinds = first_value<int>(lines);
  for (int k = 0; k < 2 * kinds - 1; ++k) s.kind_lines.push_back(lines.next_text());
  for (int k = 0; k < 12; ++k) lines.next();  // switch title, ten switches, atoms title
  const int count = first_value<int>(lines);
  s.initial_atoms = read_atoms(lines, count);
  s.minimised_atoms = read_atoms(lines, count);
  return s;
}

ExampleStructure supercell(const ExampleStructure& cell, int na, int nb, int nc, int keep) {
  ExampleStructure s = cell;
  const int repeat[3] = {na, nb, nc};
  for (int axis = 0; axis < 3; ++axis) {
    s.initial_cell[axis] *= repeat[axis];
    s.minimised_cell[axis] *= repeat[axis];
  }
  s.initial_atoms.clear();
  s.minimised_atoms.clear();
  Jitter jitter;
  std::vector<int> per_kind(0);
  std::vector<std::string> kinds;
  for (int i = 0; i < na; ++i) {
    for (int j = 0; j < nb; ++j) {
      for (int k = 0; k < nc; ++k) {
        for (std::size_t n = 0; n < cell.initial_atoms.size(); ++n) {
          if (static_cast<int>(s.initial_atoms.size()) == keep) return s;
          const ExampleAtom& a = cell.initial_atoms[n];
          const ExampleAtom& m = cell.minimised_atoms[n];
          const std::string kind = kind_of(a.name);
          const std::string name = kind + std::to_string(s.initial_atoms.size() + 1);
          s.initial_atoms.push_back({name, (a.x + i) / na, (a.y + j) / nb, (a.z + k) / nc});
          s.minimised_atoms.push_back({name, (near(a.x, m.x) + jitter.next() + i) / na,
                                       (near(a.y, m.y) + jitter.next() + j) / nb,
                                       (near(a.z, m.z) + jitter.next() + k) / nc});
        }
      }
    }
  }
  return s;
}

std::string input_text(const ExampleStructure& s, double radius, Switches switches) {
  std::string out;
  append_cell(out, s.initial_cell, "cell-initial");
  append_cell(out, s.minimised_cell, "cell-minimised");
  out += s.title + "\n";
  char line[160];
  std::snprintf(line, sizeof line, "%.3f   radius\n%.3f   bond-limit\n%zu   kinds\n", radius,
                s.bond_limit, (s.kind_lines.size() + 1) / 2);
  out += line;
  for (const std::string& kind_line : s.kind_lines) out += kind_line + "\n";
  out += "switches\n";
  static const char* const names[10] = {
      "initial-positions", "minimised-positions", "corrected-positions", "block-initial",
      "block-minimised",   "sphere-details",      "w-table",             "w-ordered",
      "w-by-kind",         "w-summary"};
  for (int k = 0; k < 10; ++k) {
    const bool on = switches == Switches::every_one || k >= 6;
    out += std::string(on ? "1   " : "0   ") + names[k] + "\n";
  }
  out += "atoms\n" + std::to_string(s.initial_atoms.size()) + "   count\n";
  append_atoms(out, s.initial_atoms);
  append_atoms(out, s.minimised_atoms);
  return out;
}

std::string largest_input(const std::string& example_path, Switches switches) {
  const ExampleStructure cell = read_example(example_path);
  return input_text(supercell(cell, kSupercell[0], kSupercell[1], kSupercell[2], kAtoms), kRadius,
                    switches);
}

}  // namespace wsphere::bench
