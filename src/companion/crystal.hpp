// What wsphere-input reads from a minimisation run: cells, atom lists and the
// symmetry that turns an asymmetric unit into the full cell.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace wsphere::companion {

// A failure that ends the program with a message and a nonzero status.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Edges in Angstrom, angles in degrees (alpha between b and c).
struct Cell {
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  double alpha = 0.0;
  double beta = 0.0;
  double gamma = 0.0;
};

struct Atom {
  std::string element;  // element symbol, e.g. "Si", "O"
  std::string origin;   // where the atom was read, e.g. "line 23 (O2)", for messages
  std::array<double, 3> frac{};
};

// How the full cell follows from the listed atoms: operations written out as
// x,y,z triplets, else a Hall symbol, else a space-group name or number. All
// empty: the list already is the full cell.
struct Symmetry {
  std::vector<std::string> triplets;
  std::string hall;
  std::string name;
};

// One state of the structure as a file gives it: cores only.
struct SourceState {
  std::string file;
  Cell cell;
  std::vector<Atom> atoms;
  Symmetry symmetry;
};

// One state of the structure with every atom of the cell, in a stable order,
// coordinates in [0, 1).
struct Crystal {
  std::string file;
  Cell cell;
  std::vector<Atom> atoms;
};

}  // namespace wsphere::companion
