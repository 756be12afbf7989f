// The input and restart files of the minimisation program.
#include "companion/gulp_files.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

Particle particle_of(const std::string& word) {
  std::string w = lower(word);
  if (w.size() > 1 && w[0] == 'b') w.erase(0, 1);  // breathing core or shell
  if (w.empty()) return Particle::none;
  if (std::string_view("core").starts_with(w)) return Particle::core;
  if (std::string_view("shell").starts_with(w)) return Particle::shell;
  return Particle::none;
}

namespace {

bool three_numbers_from(const std::vector<std::string>& words, std::size_t first) {
  double ignored = 0.0;
  if (words.size() < first + 3) return false;
  for (std::size_t k = first; k < first + 3; ++k) {
    if (!parse_number(words[k], ignored)) return false;
  }
  return true;
}

class InputFileReader {
 public:
  explicit InputFileReader(const std::string& path) : lines_(read_lines(path)) {
    state_.file = path;
  }

  SourceState read() {
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      const std::vector<std::string> words = words_at(index_);
      if (words.empty()) continue;
      if (in_block_ && !is_keyword(words[0]) && read_atom_line(words)) continue;
      in_block_ = false;
      if (!keyword_line(words)) break;
    }
    if (!have_cell_) throw InputError(state_.file + ": no cell parameters (keyword \"cell\")");
    if (!have_block_) {
      throw InputError(state_.file + ": no fractional coordinates (keyword \"fractional\")");
    }
    if (state_.atoms.empty()) throw InputError(state_.file + ": the fractional block holds no core");
    return state_;
  }

 private:
  // Words of a line without its comment.
  std::vector<std::string> words_at(std::size_t index) const {
    const std::string& line = lines_[index];
    return split_words(std::string_view(line).substr(0, line.find('#')));
  }

  int line_number() const { return static_cast<int>(index_) + 1; }

  static bool is_keyword(const std::string& word) {
    for (const char* keyword : {"cell", "fractional", "space", "cartesian"}) {
      if (names_keyword(word, keyword)) return true;
    }
    return false;
  }

  // Returns false at the start of a second configuration, which is not read.
  bool keyword_line(const std::vector<std::string>& words) {
    const std::string& word = words[0];
    if (names_keyword(word, "cell")) {
      if (have_block_) return false;
      read_cell(words);
    } else if (names_keyword(word, "fractional")) {
      if (have_block_) return false;
      have_block_ = true;
      in_block_ = true;
    } else if (names_keyword(word, "space")) {
      read_space_group(words);
    } else if (names_keyword(word, "cartesian")) {
      throw InputError(place(state_.file, line_number()) +
                       "Cartesian coordinates are not supported; give the atoms as \"fractional\"");
    }
    return true;
  }

  // The six values follow the keyword on its line or stand on the next line;
  // refinement flags after them are ignored.
  void read_cell(const std::vector<std::string>& words) {
    std::vector<std::string> values(words.begin() + 1, words.end());
    if (values.empty() && index_ + 1 < lines_.size()) values = words_at(++index_);
    if (values.size() < 6) {
      throw InputError(place(state_.file, line_number()) + "the cell needs six values");
    }
    double* targets[] = {&state_.cell.a,    &state_.cell.b,    &state_.cell.c,
                         &state_.cell.alpha, &state_.cell.beta, &state_.cell.gamma};
    for (int k = 0; k < 6; ++k) *targets[k] = number_at(values[k], state_.file, line_number());
    have_cell_ = true;
  }

  void read_space_group(const std::vector<std::string>& words) {
    std::string symbol;
    for (std::size_t k = 1; k < words.size(); ++k) symbol += (k > 1 ? " " : "") + words[k];
    if (symbol.empty() && index_ + 1 < lines_.size()) symbol = trim(lines_[++index_]);
    if (symbol.empty()) {
      throw InputError(place(state_.file, line_number()) + "\"space\" without a group symbol");
    }
    state_.symmetry.name = symbol;
  }

  // An atom line is a label, optionally "core" or "shel", then x y z and
  // values this program does not use. Any other line ends the block; a line
  // with "core" or "shel" must hold three numbers.
  bool read_atom_line(const std::vector<std::string>& words) {
    if (words.size() < 2) return false;
    const Particle particle = particle_of(words[1]);
    if (particle == Particle::none && !three_numbers_from(words, 1)) return false;
    const std::size_t first = particle == Particle::none ? 1 : 2;
    const std::string element = element_of_label(words[0]);
    if (element.empty()) {
      if (particle == Particle::none) return false;
      throw InputError(place(state_.file, line_number()) + "label \"" + words[0] +
                       "\" does not start with an element symbol");
    }
    if (words.size() < first + 3) {
      throw InputError(place(state_.file, line_number()) + "an atom needs three coordinates");
    }
    Atom atom{element, "line " + std::to_string(line_number()) + " (" + words[0] + ")", {}};
    for (int k = 0; k < 3; ++k) atom.frac[k] = number_at(words[first + k], state_.file, line_number());
    if (particle != Particle::shell) state_.atoms.push_back(atom);
    return true;
  }

  std::vector<std::string> lines_;
  std::size_t index_ = 0;
  SourceState state_;
  bool have_cell_ = false;
  bool have_block_ = false;
  bool in_block_ = false;
};

}  // namespace

SourceState read_gulp_input(const std::string& path) { return InputFileReader(path).read(); }

}  // namespace wsphere::companion
