// The printed output of the minimisation program: for each configuration, the
// structure it started from and the structure its bulk optimisation ended
// with. The program prints the input of every configuration first, then the
// output of each in turn; a defect calculation follows the bulk's output.
#include <fstream>

#include "companion/cell_forms.hpp"
#include "companion/gulp_files.hpp"
#include "companion/gulp_output_tables.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

constexpr std::string_view kBanner = "GENERAL UTILITY LATTICE PROGRAM";
constexpr std::string_view kInputHeader = "Input for Configuration =";
constexpr std::string_view kOutputHeader = "Output for configuration";
constexpr std::string_view kDefectHeader = "Defect calculation for configuration";
constexpr std::string_view kBulkStart = "Start of bulk optimisation";

// The notices GULP prints when an optimisation ends without a minimum; their
// first line, and how many lines the notice has.
struct Notice {
  std::string_view start;
  int lines;
};
constexpr Notice kNotices[] = {
    {"**** Conditions for a minimum have not been satisfied", 3},
    {"**** Too many failed attempts to optimise", 1},
    {"**** Maximum number of function calls has been reached", 1},
    {"**** CPU limit has been exceeded", 1},
    {"**** Extreme change of function was trapped", 1},
    {"**** Unexpected termination of optimisation", 1},
};

// The number after a header ("Output for configuration   2"); 0 when none.
int number_after(const std::string& line, std::string_view header) {
  const std::size_t at = line.find(header);
  const std::vector<std::string> words = split_words(std::string_view(line).substr(at + header.size()));
  double value = 0.0;
  if (words.empty() || !parse_number(words[0], value) || value < 1 || value > 1.0e6) return 0;
  return static_cast<int>(value);
}

// "**** text ****" lines joined without their stars.
std::string notice_text(const std::vector<std::string>& lines, std::size_t first, int count) {
  std::string text;
  for (std::size_t i = first; i < lines.size() && i < first + static_cast<std::size_t>(count); ++i) {
    std::string line = trim(lines[i]);
    while (line.starts_with('*')) line.erase(0, 1);
    while (line.ends_with('*')) line.pop_back();
    line = trim(line);
    if (!line.empty()) text += (text.empty() ? "" : " ") + line;
  }
  return text;
}

class OutputFileReader {
 public:
  explicit OutputFileReader(const std::string& path) : tables_(path, read_lines(path)) { find_sections(); }

  int configurations() const { return static_cast<int>(inputs_.size()); }

  RunStates read(int configuration) const {
    const int n = chosen(configuration);
    RunStates states;
    states.configuration = n;
    states.configurations = configurations();
    // What kind of run it is comes first: a surface, a single-point, fitting,
    // Monte Carlo or dynamics run is told as such, whatever tables it lacks.
    require_bulk(n, inputs_[static_cast<std::size_t>(n - 1)]);
    optimisation(n);
    states.initial = initial_state(n);
    states.final = final_state(n, states.initial);
    read_outcome(n, states);
    return states;
  }

  SourceState read_initial(int configuration) const { return initial_state(chosen(configuration)); }

 private:
  const std::string& path() const { return tables_.path(); }
  const std::vector<std::string>& lines() const { return tables_.lines(); }

  // The input and output section of each configuration. A file without the
  // headers is one configuration, read from the whole file.
  void find_sections() {
    const std::vector<std::string>& text = lines();
    std::vector<std::size_t> input_starts;
    std::vector<std::pair<int, std::size_t>> output_starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i].find(kInputHeader) != std::string::npos) input_starts.push_back(i);
      if (text[i].find(kOutputHeader) != std::string::npos) output_starts.emplace_back(number_after(text[i], kOutputHeader), i);
    }
    const std::size_t first_output = output_starts.empty() ? text.size() : output_starts.front().second;
    if (input_starts.empty()) input_starts.push_back(0);
    for (std::size_t k = 0; k < input_starts.size(); ++k) {
      const std::size_t end = k + 1 < input_starts.size() ? input_starts[k + 1] : first_output;
      inputs_.push_back({input_starts[k], std::max(end, input_starts[k])});
    }
    outputs_.assign(inputs_.size(), LineRange{});
    if (output_starts.empty()) outputs_[0] = {0, text.size()};  // without the headers: the whole file
    for (std::size_t k = 0; k < output_starts.size(); ++k) {
      const auto [number, start] = output_starts[k];
      const std::size_t end = k + 1 < output_starts.size() ? output_starts[k + 1].second : text.size();
      const int index = number > 0 ? number - 1 : static_cast<int>(k);
      if (index < static_cast<int>(outputs_.size())) outputs_[static_cast<std::size_t>(index)] = {start, end};
    }
  }

  int chosen(int configuration) const {
    const int count = configurations();
    if (configuration == 0 && count == 1) return 1;
    if (configuration == 0) {
      std::string list;
      for (int n = 1; n <= count; ++n) list += (n == 1 ? "" : ", ") + describe(n);
      throw InputError(path() + ": " + std::to_string(count) + " configurations (" + list +
                       "); choose one with --configuration N");
    }
    if (configuration < 1 || configuration > count) {
      throw InputError(path() + ": no configuration " + std::to_string(configuration) + "; the file holds " +
                       std::to_string(count) + (count == 1 ? " configuration" : " configurations"));
    }
    return configuration;
  }

  // "2: MgO" from the configuration's "Formula = MgO".
  std::string describe(int n) const {
    const LineRange range = inputs_[static_cast<std::size_t>(n - 1)];
    const auto at = tables_.find("Formula =", range);
    const std::string formula = at ? trim(lines()[*at].substr(lines()[*at].find('=') + 1)) : "";
    return std::to_string(n) + (formula.empty() ? "" : ": " + formula);
  }

  // A missing part of the file is reported as GULP's own error when GULP
  // stopped with one: that is why the part is missing.
  [[noreturn]] void fail(const std::string& message) const {
    if (const auto error = tables_.run_error()) throw InputError(*error);
    throw InputError(message);
  }

  std::string which(int n) const {
    return configurations() > 1 ? "configuration " + std::to_string(n) + " " : "the run ";
  }

  void require_bulk(int n, LineRange range) const {
    const int dimensions = tables_.dimensionality(range);
    if (dimensions == 3 || dimensions < 0) return;
    static const char* const kinds[] = {"a cluster (no periodic cell)", "a polymer (periodic in one direction)",
                                        "a surface (periodic in two directions)"};
    throw InputError(path() + ": " + which(n) + "is " + kinds[dimensions] +
                     "; wsphere analyses crystals periodic in three directions");
  }

  Cell initial_cell(LineRange range) const {
    // A centred cell is printed beside its primitive cell; the full cell is
    // the one the structure was written in.
    for (std::string_view title : {"Full cell parameters", "Cell parameters (Angstroms/Degrees)"}) {
      if (const auto at = tables_.find(title, range)) return tables_.equals_cell(*at);
    }
    if (const auto at = tables_.find("Cartesian lattice vectors (Angstroms)", range)) return tables_.vectors_cell(*at);
    fail(path() + ": no \"Cell parameters (Angstroms/Degrees):\" table");
  }

  SourceState initial_state(int n) const {
    const LineRange range = inputs_[static_cast<std::size_t>(n - 1)];
    require_bulk(n, range);
    SourceState state;
    state.file = path();
    state.cell = initial_cell(range);
    std::optional<std::size_t> atoms = tables_.find("Fractional coordinates of asymmetric unit", range);
    if (!atoms) atoms = tables_.find("Fractional coordinates of atoms", range);
    if (!atoms) fail(path() + ": no \"Fractional coordinates of asymmetric unit\" table");
    state.atoms = tables_.atom_table(*atoms);
    state.symmetry.name = tables_.space_group(range);
    return state;
  }

  // The bulk part of a configuration's output: up to its defect
  // calculation, if any.
  LineRange bulk_output(int n) const {
    LineRange range = outputs_[static_cast<std::size_t>(n - 1)];
    if (const auto defect = tables_.find(kDefectHeader, range)) range.end = *defect;
    return range;
  }

  // The final cell in the setting of the initial one. A centred cell given
  // in its full setting ("Full cell parameters" beside the primitive ones)
  // ends as the non-primitive table or as the primitive cell turned full; a
  // rhombohedral cell given in its primitive setting ends as the primitive
  // cell, whatever non-primitive cell is printed beside it.
  Cell final_cell(int n, LineRange range, const SourceState& initial) const {
    const bool full_setting = tables_.find("Full cell parameters", inputs_[static_cast<std::size_t>(n - 1)]).has_value();
    if (full_setting) {
      if (const auto full = tables_.find("Non-primitive lattice parameters", range)) return tables_.equals_cell(*full);
    }
    std::optional<Cell> cell;
    if (const auto table = tables_.find("Final cell parameters and derivatives", range)) {
      cell = tables_.derivatives_cell(*table);
    } else if (const auto vectors = tables_.find("Final Cartesian lattice vectors", range)) {
      cell = tables_.vectors_cell(*vectors);
    }
    if (!cell) return initial.cell;  // a run at constant volume keeps its cell
    return centred(*cell, n, initial);
  }

  // A centred run prints its final cell as the primitive cell: it becomes
  // the full cell again by the matrix that joins the two initial cells.
  Cell centred(const Cell& cell, int n, const SourceState& initial) const {
    const auto pair = tables_.find("Primitive cell parameters", inputs_[static_cast<std::size_t>(n - 1)]);
    if (!pair) return cell;
    const auto matrix = centring_matrix(tables_.equals_cell(*pair, Pick::first), initial.cell);
    if (!matrix) {
      fail(path() + ": the final cell is printed as a primitive cell and no centring turns the initial "
                    "primitive cell into the full one");
    }
    return full_cell(cell, *matrix);
  }

  // The part of a configuration's bulk output from its last start of an
  // optimisation: its final tables are the first after it.
  LineRange optimisation(int n) const {
    LineRange range = bulk_output(n);
    if (range.begin == range.end) {
      fail(path() + ": " + which(n) + "has no output (no 'Output for configuration " + std::to_string(n) +
           "'): did the run end?");
    }
    std::optional<std::size_t> start;
    for (std::size_t i = range.begin; i < range.end; ++i) {
      if (lines()[i].find(kBulkStart) != std::string::npos) start = i;
    }
    if (!start) {
      if (tables_.find(kDefectHeader, outputs_[static_cast<std::size_t>(n - 1)])) {
        throw InputError(path() + ": " + which(n) +
                         "optimised a defect only, not the bulk; wsphere needs the crystal before and after");
      }
      const std::string message = path() + ": " + which(n) + "did no optimisation (no 'Start of bulk optimisation')";
      if (const auto error = tables_.error_block()) {
        throw InputError(message + "; GULP ended with an error at line " + std::to_string(error->line) + ": " +
                         error->text);
      }
      throw InputError(message + "; run GULP with the keyword optimise, or name the initial and the minimised "
                                 "structure as two files");
    }
    range.begin = *start;
    return range;
  }

  SourceState final_state(int n, const SourceState& initial) const {
    const LineRange range = optimisation(n);
    SourceState state;
    state.file = path();
    if (const auto unit = tables_.find("Final asymmetric unit coordinates", range)) {
      state.atoms = tables_.atom_table(*unit);
      state.symmetry = initial.symmetry;
    } else if (const auto all = tables_.find("Final fractional coordinates of atoms", range)) {
      state.atoms = tables_.atom_table(*all);
    } else {
      fail(path() + ": no final coordinates (\"Final fractional coordinates of atoms\" "
                    "or \"Final asymmetric unit coordinates\"): did the run end?");
    }
    state.cell = final_cell(n, range, initial);
    return state;
  }

  void read_outcome(int n, RunStates& states) const {
    const LineRange range = optimisation(n);
    for (std::size_t i = range.begin; i < range.end; ++i) {
      for (const Notice& notice : kNotices) {
        if (lines()[i].find(notice.start) == std::string::npos) continue;
        states.converged = false;
        states.notice = notice_text(lines(), i, notice.lines);
        return;
      }
    }
  }

  OutputTables tables_;
  std::vector<LineRange> inputs_;
  std::vector<LineRange> outputs_;
};

}  // namespace

bool is_gulp_output(std::string_view head) {
  if (head.find(kBanner) != std::string_view::npos) return true;
  return head.find(kInputHeader) != std::string_view::npos && head.find("Dimensionality") != std::string_view::npos;
}

bool is_gulp_output_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string head(kHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return is_gulp_output(head);
}

int count_configurations(std::string_view text) {
  int count = 0;
  for (std::size_t at = text.find(kInputHeader); at != std::string_view::npos; at = text.find(kInputHeader, at + 1)) {
    ++count;
  }
  return count > 0 ? count : 1;
}

RunStates read_gulp_output(const std::string& path, int configuration) {
  return OutputFileReader(path).read(configuration);
}

SourceState read_gulp_output_initial(const std::string& path, int configuration) {
  return OutputFileReader(path).read_initial(configuration);
}

}  // namespace wsphere::companion
