// The tables of the minimisation program's printed output, read from a range
// of its lines: cells in their several layouts and atom tables.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// Lines [begin, end) of a printed output.
struct LineRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Which value of a name a line of two cells side by side gives.
enum class Pick { first, last };

class OutputTables {
 public:
  OutputTables(std::string path, std::vector<std::string> lines) : path_(std::move(path)), lines_(std::move(lines)) {}

  const std::string& path() const { return path_; }
  const std::vector<std::string>& lines() const { return lines_; }

  // The first line in `range` that holds `title`.
  std::optional<std::size_t> find(std::string_view title, LineRange range) const;

  // Rows "No. label c|s x y z ...": cores kept, shells dropped.
  std::vector<Atom> atom_table(std::size_t title) const;

  // Lines "a =  11.9417    alpha =  89.6417" below the title, also
  // "a    =  4.820055  b   =  4.820055" and "alpha=  90.000000". On lines of
  // the primitive and the full cell side by side, the first value of each
  // name is the primitive cell's and the last the full cell's.
  Cell equals_cell(std::size_t title, Pick pick = Pick::last) const;

  // Rows "a  11.941687 Angstrom  dE/de1(xx) ..." between two rules.
  Cell derivatives_cell(std::size_t title) const;

  // Three rows of three numbers below the title: the lattice vectors.
  Cell vectors_cell(std::size_t title) const;

  // "Space group (centrosymmetric)    :  P 21/C"; empty when none.
  std::string space_group(LineRange range) const;

  // "Dimensionality = 3 : Bulk": the number, -1 when not printed.
  int dimensionality(LineRange range) const;

  // GULP's error block, "!! ERROR : text" and the "!!" lines after it, as
  // one message naming the line it starts on.
  std::optional<std::string> run_error() const;

  // The same as its line (from 1) and its text.
  struct ErrorBlock {
    int line = 0;
    std::string text;
  };
  std::optional<ErrorBlock> error_block() const;

 private:
  struct Row {
    int line = 0;
    std::vector<std::string> words;
  };
  std::vector<Row> table_rows(std::size_t title, int skip) const;
  Cell cell_from(const std::vector<std::pair<std::string, double>>& values, std::size_t title,
                 Pick pick = Pick::last) const;

  std::string path_;
  std::vector<std::string> lines_;
};

}  // namespace wsphere::companion
