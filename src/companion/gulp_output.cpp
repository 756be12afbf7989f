// The printed output of the minimisation program: the structure it started
// from and the structure it ended with.
#include <map>
#include <optional>

#include "companion/gulp_files.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

struct Row {
  int line = 0;
  std::vector<std::string> words;
};

bool is_rule(const std::string& line) {
  const std::string text = trim(line);
  return text.size() >= 10 && text.find_first_not_of('-') == std::string::npos;
}

// "!! ERROR : too many failures" gives "too many failures"; a line of the
// same block without the word, "!!   in line search", gives "in line search".
std::string error_line_text(const std::string& line) {
  std::string text = trim(trim(line).substr(2));
  if (!text.starts_with("ERROR")) return text;
  text = trim(text.substr(5));
  return text.starts_with(':') ? trim(text.substr(1)) : text;
}

bool in_error_block(const std::string& line) { return trim(line).starts_with("!!"); }

bool starts_error_block(const std::string& line) {
  return in_error_block(line) && trim(trim(line).substr(2)).starts_with("ERROR");
}

bool is_cell_name(const std::string& word) {
  for (const char* name : {"a", "b", "c", "alpha", "beta", "gamma"}) {
    if (word == name) return true;
  }
  return false;
}

class OutputFileReader {
 public:
  explicit OutputFileReader(const std::string& path) : path_(path), lines_(read_lines(path)) {}

  RunStates read() const {
    RunStates states;
    states.initial = initial_state();
    states.final = final_state(states.initial);
    return states;
  }

  SourceState read_initial() const { return initial_state(); }

 private:
  std::optional<std::size_t> find(std::string_view title) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].find(title) != std::string::npos) return i;
    }
    return std::nullopt;
  }

  std::size_t require(std::string_view title) const {
    const std::optional<std::size_t> at = find(title);
    if (!at) fail(path_ + ": no \"" + std::string(title) + "\" table");
    return *at;
  }

  // A missing part of the file is reported as GULP's own error when GULP
  // stopped with one: that is why the part is missing.
  [[noreturn]] void fail(const std::string& message) const {
    if (const auto error = run_error()) throw InputError(*error);
    throw InputError(message);
  }

  // GULP's error block, "!! ERROR : text" and the "!!" lines after it, as
  // one message naming the line it starts on.
  std::optional<std::string> run_error() const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!starts_error_block(lines_[i])) continue;
      std::string text;
      for (std::size_t j = i; j < lines_.size() && in_error_block(lines_[j]); ++j) {
        const std::string part = error_line_text(lines_[j]);
        if (!part.empty()) text += (text.empty() ? "" : "; ") + part;
      }
      return place(path_, static_cast<int>(i) + 1) + "GULP ended with an error: " + text;
    }
    return std::nullopt;
  }

  // The rows of a table below `title`: those after the `skip`-th rule line,
  // up to the next rule line.
  std::vector<Row> table_rows(std::size_t title, int skip) const {
    std::size_t i = title + 1;
    for (int rules = 0; i < lines_.size() && rules < skip; ++i) {
      if (is_rule(lines_[i])) ++rules;
    }
    std::vector<Row> rows;
    for (; i < lines_.size() && !is_rule(lines_[i]); ++i) {
      std::vector<std::string> words;
      for (std::string word : split_words(lines_[i])) {
        while (!word.empty() && word.back() == '*') word.pop_back();  // optimisation flag
        if (!word.empty()) words.push_back(word);
      }
      if (!words.empty()) rows.push_back({static_cast<int>(i) + 1, words});
    }
    if (i == lines_.size()) {
      throw InputError(path_ + ": the table at line " + std::to_string(title + 1) + " is not closed");
    }
    return rows;
  }

  // Rows "No. label c|s x y z ...": cores kept, shells dropped.
  std::vector<Atom> atom_table(std::size_t title) const {
    std::vector<Atom> atoms;
    for (const Row& row : table_rows(title, 2)) {
      if (row.words.size() < 6) {
        throw InputError(place(path_, row.line) + "an atom row needs a label, a type and x y z");
      }
      const std::string& label = row.words[1];
      const Particle particle = particle_of(row.words[2]);
      if (particle == Particle::none) {
        throw InputError(place(path_, row.line) + "\"" + row.words[2] + "\" is neither c nor s");
      }
      if (particle == Particle::shell) continue;
      const std::string element = element_of_label(label);
      if (element.empty()) {
        throw InputError(place(path_, row.line) + "label \"" + label +
                         "\" does not start with an element symbol");
      }
      Atom atom{element, "line " + std::to_string(row.line) + " (" + label + ")", {}};
      for (int k = 0; k < 3; ++k) atom.frac[k] = number_at(row.words[3 + k], path_, row.line);
      atoms.push_back(atom);
    }
    if (atoms.empty()) {
      throw InputError(path_ + ": the table at line " + std::to_string(title + 1) + " holds no core");
    }
    return atoms;
  }

  // Lines "a =  11.9417    alpha =  89.6417" below the title; on a line that
  // holds two cells the last value of each name is kept.
  Cell initial_cell(std::size_t title) const {
    std::map<std::string, double> values;
    for (std::size_t i = title + 1; i < lines_.size() && i <= title + 8; ++i) {
      const std::vector<std::string> words = split_words(lines_[i]);
      for (std::size_t k = 0; k + 2 < words.size(); ++k) {
        if (words[k + 1] == "=" && is_cell_name(words[k])) {
          values[words[k]] = number_at(words[k + 2], path_, static_cast<int>(i) + 1);
        }
      }
    }
    return cell_from(values, title);
  }

  // Rows "a  11.941687 Angstrom  dE/de1(xx) ..." between two rules.
  Cell final_cell(std::size_t title) const {
    std::map<std::string, double> values;
    for (const Row& row : table_rows(title, 1)) {
      if (row.words.size() >= 2 && is_cell_name(row.words[0])) {
        values[row.words[0]] = number_at(row.words[1], path_, row.line);
      }
    }
    return cell_from(values, title);
  }

  Cell cell_from(const std::map<std::string, double>& values, std::size_t title) const {
    Cell cell;
    const std::pair<const char*, double*> wanted[] = {
        {"a", &cell.a},         {"b", &cell.b},        {"c", &cell.c},
        {"alpha", &cell.alpha}, {"beta", &cell.beta}, {"gamma", &cell.gamma}};
    for (const auto& [name, target] : wanted) {
      const auto found = values.find(name);
      if (found == values.end()) {
        throw InputError(path_ + ": the cell at line " + std::to_string(title + 1) + " has no " + name);
      }
      *target = found->second;
    }
    return cell;
  }

  // "Space group (centrosymmetric)    :  P 21/C"
  std::string space_group() const {
    for (const std::string& line : lines_) {
      const std::string text = trim(line);
      if (!text.starts_with("Space group")) continue;
      const std::size_t bracket = text.find(')');
      const std::size_t colon = text.find(':', bracket == std::string::npos ? 0 : bracket);
      if (colon != std::string::npos) return trim(text.substr(colon + 1));
    }
    return {};
  }

  SourceState initial_state() const {
    SourceState state;
    state.file = path_;
    state.cell = initial_cell(require("Cell parameters (Angstroms/Degrees):"));
    state.atoms = atom_table(require("Fractional coordinates of asymmetric unit"));
    state.symmetry.name = space_group();
    return state;
  }

  // Without a final cell table the run kept its cell. The final asymmetric
  // unit is expanded like the initial one; the final table of all atoms is
  // the full cell already.
  SourceState final_state(const SourceState& initial) const {
    SourceState state;
    state.file = path_;
    const std::optional<std::size_t> cell_title = find("Final cell parameters and derivatives");
    state.cell = cell_title ? final_cell(*cell_title) : initial.cell;
    if (const auto unit = find("Final asymmetric unit coordinates")) {
      state.atoms = atom_table(*unit);
      state.symmetry = initial.symmetry;
    } else if (const auto all = find("Final fractional coordinates of atoms")) {
      state.atoms = atom_table(*all);
    } else if (!find("Start of bulk optimisation")) {
      fail(path_ + ": the run did no optimisation (no 'Start of bulk optimisation'); run GULP with the "
                   "keyword optimise, or name the initial and the minimised structure as two files");
    } else {
      fail(path_ + ": no final coordinates (\"Final fractional coordinates of atoms\" "
                   "or \"Final asymmetric unit coordinates\"): did the run end?");
    }
    return state;
  }

  std::string path_;
  std::vector<std::string> lines_;
};

}  // namespace

RunStates read_gulp_output(const std::string& path) { return OutputFileReader(path).read(); }

SourceState read_gulp_output_initial(const std::string& path) { return OutputFileReader(path).read_initial(); }

}  // namespace wsphere::companion
