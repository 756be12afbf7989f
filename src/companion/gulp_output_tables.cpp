#include "companion/gulp_output_tables.hpp"

#include <algorithm>

#include "companion/cell_forms.hpp"
#include "companion/gulp_files.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

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

// The words of a line with every "=" a word of its own ("alpha=" -> "alpha", "=").
std::vector<std::string> words_around_equals(const std::string& line) {
  std::string spaced;
  for (char ch : line) {
    if (ch == '=') {
      spaced += " = ";
    } else {
      spaced += ch;
    }
  }
  return split_words(spaced);
}

}  // namespace

std::optional<std::size_t> OutputTables::find(std::string_view title, LineRange range) const {
  for (std::size_t i = range.begin; i < range.end && i < lines_.size(); ++i) {
    if (lines_[i].find(title) != std::string::npos) return i;
  }
  return std::nullopt;
}

std::optional<OutputTables::ErrorBlock> OutputTables::error_block() const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!starts_error_block(lines_[i])) continue;
    std::string text;
    for (std::size_t j = i; j < lines_.size() && in_error_block(lines_[j]); ++j) {
      const std::string part = error_line_text(lines_[j]);
      // A line of exclamation marks frames the block.
      if (!part.empty() && part.find_first_not_of('!') != std::string::npos) text += (text.empty() ? "" : "; ") + part;
    }
    return ErrorBlock{static_cast<int>(i) + 1, text};
  }
  return std::nullopt;
}

std::optional<std::string> OutputTables::run_error() const {
  const std::optional<ErrorBlock> error = error_block();
  if (!error) return std::nullopt;
  return place(path_, error->line) + "GULP ended with an error: " + error->text;
}

std::vector<OutputTables::Row> OutputTables::table_rows(std::size_t title, int skip) const {
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

std::vector<Atom> OutputTables::atom_table(std::size_t title) const {
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
      throw InputError(place(path_, row.line) + "label \"" + label + "\" does not start with an element symbol");
    }
    Atom atom{element, "line " + std::to_string(row.line) + " (" + label + ")", {}};
    for (int k = 0; k < 3; ++k) atom.frac[static_cast<std::size_t>(k)] = number_at(row.words[3 + static_cast<std::size_t>(k)], path_, row.line);
    atoms.push_back(atom);
  }
  if (atoms.empty()) {
    throw InputError(path_ + ": the table at line " + std::to_string(title + 1) + " holds no core");
  }
  return atoms;
}

Cell OutputTables::equals_cell(std::size_t title, Pick pick) const {
  std::vector<std::pair<std::string, double>> values;
  for (std::size_t i = title + 1; i < lines_.size() && i <= title + 8; ++i) {
    const std::vector<std::string> words = words_around_equals(lines_[i]);
    for (std::size_t k = 0; k + 2 < words.size(); ++k) {
      if (words[k + 1] == "=" && is_cell_name(words[k])) {
        values.emplace_back(words[k], number_at(words[k + 2], path_, static_cast<int>(i) + 1));
      }
    }
  }
  return cell_from(values, title, pick);
}

Cell OutputTables::derivatives_cell(std::size_t title) const {
  std::vector<std::pair<std::string, double>> values;
  for (const Row& row : table_rows(title, 1)) {
    if (row.words.size() >= 2 && is_cell_name(row.words[0])) {
      values.emplace_back(row.words[0], number_at(row.words[1], path_, row.line));
    }
  }
  return cell_from(values, title);
}

Cell OutputTables::vectors_cell(std::size_t title) const {
  Rows vectors{};
  int found = 0;
  for (std::size_t i = title + 1; i < lines_.size() && i <= title + 6 && found < 3; ++i) {
    const std::vector<std::string> words = split_words(lines_[i]);
    if (words.empty()) continue;
    if (words.size() != 3) break;
    for (std::size_t k = 0; k < 3; ++k) {
      vectors[static_cast<std::size_t>(found)][k] = number_at(words[k], path_, static_cast<int>(i) + 1);
    }
    ++found;
  }
  if (found < 3) {
    throw InputError(path_ + ": the lattice vectors at line " + std::to_string(title + 1) + " are not three rows");
  }
  return cell_of_vectors(vectors);
}

Cell OutputTables::cell_from(const std::vector<std::pair<std::string, double>>& values, std::size_t title,
                             Pick pick) const {
  Cell cell;
  const std::pair<const char*, double*> wanted[] = {{"a", &cell.a},         {"b", &cell.b},       {"c", &cell.c},
                                                    {"alpha", &cell.alpha}, {"beta", &cell.beta}, {"gamma", &cell.gamma}};
  for (const auto& [name, target] : wanted) {
    const auto named = [&](const auto& v) { return v.first == name; };
    const auto first = std::find_if(values.begin(), values.end(), named);
    const auto last = std::find_if(values.rbegin(), values.rend(), named);
    if (first == values.end()) {
      throw InputError(path_ + ": the cell at line " + std::to_string(title + 1) + " has no " + name);
    }
    *target = pick == Pick::first ? first->second : last->second;
  }
  return cell;
}

std::string OutputTables::space_group(LineRange range) const {
  for (std::size_t i = range.begin; i < range.end && i < lines_.size(); ++i) {
    const std::string text = trim(lines_[i]);
    if (!text.starts_with("Space group")) continue;
    const std::size_t bracket = text.find(')');
    const std::size_t colon = text.find(':', bracket == std::string::npos ? 0 : bracket);
    if (colon != std::string::npos) return trim(text.substr(colon + 1));
  }
  return {};
}

int OutputTables::dimensionality(LineRange range) const {
  const std::optional<std::size_t> at = find("Dimensionality =", range);
  if (!at) return -1;
  const std::vector<std::string> words = words_around_equals(lines_[*at]);
  for (std::size_t k = 0; k + 2 < words.size(); ++k) {
    if (words[k] == "Dimensionality" && words[k + 1] == "=" && words[k + 2].size() == 1 &&
        words[k + 2][0] >= '0' && words[k + 2][0] <= '3') {
      return words[k + 2][0] - '0';
    }
  }
  return -1;
}

}  // namespace wsphere::companion
