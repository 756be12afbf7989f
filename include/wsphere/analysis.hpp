// The neighbour-sphere analysis as a library: a structure before and after a
// minimisation and the settings go in, W and compliance of every atom, the
// order of the atoms by W and the statistics of every kind come out. It is the
// program's own analysis with the program's rounding, so its values equal the
// report's bit for bit. It reads no file, writes no report and keeps no state
// between calls; its storage grows with the structure.
#pragma once

#include <string>
#include <vector>

#include "wsphere/cell.hpp"

namespace wsphere {

// A position in fractions of the cell edges.
struct Fractional {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// One structure in two states. The three lists have one entry per atom. Names
// count by their first six characters, as in input.txt. The minimised
// positions are taken as the minimisation left them: a coordinate that jumped
// by more than half a cell edge is brought back, as the program does.
struct Structure {
  Cell initial_cell;
  Cell minimised_cell;
  std::vector<std::string> names;
  std::vector<Fractional> initial_positions;
  std::vector<Fractional> minimised_positions;
};

// A kind of atom. Symbols count by their first two characters, a shorter one
// padded with blanks. A kind before the last takes the atoms whose names begin
// with its two characters; the
// last kind takes the names that begin with its letter when its symbol has
// one letter. The compliance uses the references of the first two kinds; the
// last kind's reference is not used (input.txt has none for it).
struct Kind {
  std::string symbol;
  float bond_reference = 0.0f;
};

struct Settings {
  float sphere_radius = 0.0f;  // of the sphere round each atom
  float bond_limit = 0.0f;     // members up to this initial distance are bonded
  std::vector<Kind> kinds;
  // Threads that share the atoms' spheres: 1 keeps the analysis on the calling
  // thread, 0 takes one per processor. The results do not depend on it.
  int threads = 1;
};

struct AtomResult {
  float w = 0.0f;           // mean squared change of the distances to the sphere's members
  float compliance = 0.0f;  // percent; 0 for atoms outside the first two kinds
  int member_count = 0;     // members of the atom's sphere
  int bonded_count = 0;     // of them within the bond limit
  int kind = -1;            // index of the first kind that takes the atom, -1 for none
};

struct KindResult {
  std::string symbol;
  int member_count = 0;
  float mean_w = 0.0f;  // NaN for a kind without members
  float sigma = 0.0f;   // NaN for a kind of one member or with a NaN among its W
};

struct Results {
  std::vector<AtomResult> atoms;  // in the order of the structure
  std::vector<int> w_order;       // atom indices by ascending W, equal W as the report lists them
  std::vector<KindResult> kinds;  // in the order of the settings
};

// Throws std::invalid_argument when the lists of `structure` differ in
// length, and wsphere::MathDomainError (a std::exception) when
// a distance needs the square root of a negative number, as in a cell whose
// angles admit no cell.
Results analyse(const Structure& structure, const Settings& settings);

}  // namespace wsphere
