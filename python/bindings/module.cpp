// wsphere._core: the analysis library, the companion's file readers and the
// whole program in memory, for the Python package. The Python side
// (python/wsphere/) turns foreign structures into the plain lists and arrays
// these functions take and wraps what they return.
//
// Every failure that input from Python can cause ends here as a Python
// exception: wsphere.InputError (a ValueError) for bad files and bad
// structures. Nothing aborts the interpreter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "companion/cif_file.hpp"
#include "companion/crystal.hpp"
#include "companion/expansion.hpp"
#include "companion/gulp_files.hpp"
#include "companion/geometry.hpp"
#include "companion/input_file.hpp"
#include "companion/bond_search.hpp"
#include "companion/kind_plan.hpp"
#include "companion/kinds.hpp"
#include "companion/source_files.hpp"
#include "companion/text_scan.hpp"
#include "core/condition.hpp"
#include "driver/program.hpp"
#include "structure/read_structure.hpp"
#include "textio/byte_source.hpp"
#include "textio/free_form_reader.hpp"
#include "textio/number_parse.hpp"
#include "wsphere/analysis.hpp"

namespace py = pybind11;

namespace wsphere::python {
namespace {

using companion::InputError;

using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;
using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// ---------------------------------------------------------------------------
// Checks of what Python hands over.

std::array<double, 6> cell_values(const std::vector<double>& values, const char* which) {
  if (values.size() != 6) {
    throw InputError(std::string("the ") + which + " cell needs six values (a, b, c, alpha, beta, gamma), got " +
                     std::to_string(values.size()));
  }
  std::array<double, 6> cell{};
  std::copy(values.begin(), values.end(), cell.begin());
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(cell[i])) throw InputError(std::string("the ") + which + " cell has a value that is not finite");
    if (i < 3 && !(cell[i] > 0.0)) throw InputError(std::string("the ") + which + " cell has an edge that is not positive");
    if (i >= 3 && !(cell[i] > 0.0 && cell[i] < 180.0)) {
      throw InputError(std::string("the ") + which + " cell has an angle outside (0, 180) degrees");
    }
  }
  return cell;
}

// The rows of an (n, 3) array.
template <typename Array>
void check_positions(const Array& positions, const char* which) {
  if (positions.ndim() != 2 || positions.shape(1) != 3) {
    throw InputError(std::string("the ") + which + " positions must be an array of shape (n, 3)");
  }
  const auto* data = positions.data();
  for (py::ssize_t i = 0; i < positions.size(); ++i) {
    if (!std::isfinite(static_cast<double>(data[i]))) {
      throw InputError(std::string("the ") + which + " positions hold a value that is not finite (atom " +
                       std::to_string(i / 3 + 1) + ")");
    }
  }
}

template <typename Array>
void check_counts(std::size_t names, const Array& initial, const Array& minimised) {
  const auto n = static_cast<std::size_t>(initial.shape(0));
  const auto m = static_cast<std::size_t>(minimised.shape(0));
  if (n == 0) throw InputError("the structure has no atoms");
  if (n != m) {
    throw InputError("the initial state has " + std::to_string(n) + " atoms, the minimised state " +
                     std::to_string(m) + "; both states must list the same atoms in the same order");
  }
  if (names != n) {
    throw InputError(std::to_string(names) + " names for " + std::to_string(n) + " atoms");
  }
}

void check_length(double value, const char* what) {
  if (!std::isfinite(value) || !(value > 0.0)) throw InputError(std::string("the ") + what + " must be a positive number");
}

// ---------------------------------------------------------------------------
// The analysis.

// Text for a Python exception: the program's bytes, invalid UTF-8 replaced.
std::string message_text(const std::string& bytes) {
  return py::bytes(bytes).attr("decode")("utf-8", "replace").cast<std::string>();
}

Cell cell_of(const std::array<double, 6>& v) {
  return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]),
          static_cast<float>(v[3]), static_cast<float>(v[4]), static_cast<float>(v[5])};
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
  py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

// The per-atom results as numpy columns: w, compliance, members, bonded, kind.
void put_atom_columns(const Results& results, py::dict& out) {
  const std::size_t n = results.atoms.size();
  std::vector<float> w(n), compliance(n);
  std::vector<int> members(n), bonded(n), kind(n);
  for (std::size_t i = 0; i < n; ++i) {
    const AtomResult& atom = results.atoms[i];
    w[i] = atom.w;
    compliance[i] = atom.compliance;
    members[i] = atom.member_count;
    bonded[i] = atom.bonded_count;
    kind[i] = atom.kind;
  }
  out["w"] = array_of(w);
  out["compliance"] = array_of(compliance);
  out["members"] = array_of(members);
  out["bonded"] = array_of(bonded);
  out["kind"] = array_of(kind);
}

py::dict analyse(const std::vector<std::string>& names, const std::vector<double>& initial_cell,
                 const std::vector<double>& minimised_cell, const FloatArray& initial,
                 const FloatArray& minimised, double radius, double bond_limit,
                 const std::vector<std::pair<std::string, double>>& kinds, bool checked, int threads) {
  if (threads < 0) throw InputError("threads must be 0 (one per processor) or more");
  check_positions(initial, "initial");
  check_positions(minimised, "minimised");
  check_counts(names.size(), initial, minimised);
  // Values that input.txt gave the program are taken as they are; the
  // analysis copes with whatever the reader lets through.
  if (checked) {
    check_length(radius, "sphere radius");
    if (!std::isfinite(bond_limit)) throw InputError("the bond limit must be a finite number");
  }
  auto cell = [checked](const std::vector<double>& values, const char* which) {
    if (checked) return cell_of(cell_values(values, which));
    if (values.size() != 6) throw InputError(std::string("the ") + which + " cell needs six values");
    std::array<double, 6> v{};
    std::copy(values.begin(), values.end(), v.begin());
    return cell_of(v);
  };

  Structure structure;
  structure.initial_cell = cell(initial_cell, "initial");
  structure.minimised_cell = cell(minimised_cell, "minimised");
  structure.names = names;
  const auto n = static_cast<std::size_t>(initial.shape(0));
  structure.initial_positions.resize(n);
  structure.minimised_positions.resize(n);
  const float* p = initial.data();
  const float* q = minimised.data();
  for (std::size_t i = 0; i < n; ++i) {
    structure.initial_positions[i] = {p[3 * i], p[3 * i + 1], p[3 * i + 2]};
    structure.minimised_positions[i] = {q[3 * i], q[3 * i + 1], q[3 * i + 2]};
  }
  Settings settings{static_cast<float>(radius), static_cast<float>(bond_limit), {}};
  settings.threads = threads;
  for (const auto& [symbol, reference] : kinds) {
    if (checked && !std::isfinite(reference)) throw InputError("the reference distance of kind " + symbol + " is not finite");
    settings.kinds.push_back({symbol, static_cast<float>(reference)});
  }

  Results results;
  std::string failure;
  {
    py::gil_scoped_release release;
    try {
      results = wsphere::analyse(structure, settings);
    } catch (const MathDomainError&) {
      failure = "a distance needs the square root of a negative number: the cell angles admit no cell";
    } catch (const std::invalid_argument& error) {
      failure = error.what();
    }
  }
  if (!failure.empty()) throw InputError(message_text(failure));

  py::list statistics;
  for (const KindResult& k : results.kinds) {
    // Symbols stay bytes: those of input.txt are Windows-1251.
    statistics.append(py::make_tuple(py::bytes(k.symbol), k.member_count, k.mean_w, k.sigma));
  }
  py::dict out;
  put_atom_columns(results, out);
  out["order"] = array_of(results.w_order);
  out["statistics"] = statistics;
  return out;
}

// ---------------------------------------------------------------------------
// From a structure in doubles to what input.txt written by wsphere-input would
// give the program: its kinds, names and reference distances, and every number
// rounded as the file prints it and read back as a single.

float single_of_text(const std::string& text) {
  const auto parsed = textio::parse_real(text);
  if (parsed.fault != textio::NumberFault::none) throw InputError("the value " + text + " is out of range");
  return parsed.value;
}

float printed(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return single_of_text(buffer);
}

// coordinate_text() read back as a single. The quotient of two exact integers
// is rounded once to a double; rounding that to a single is exact unless the
// double falls on a midpoint between two singles, where the text decides.
float printed_coordinate(double x) {
  long long units = std::llround((x - std::floor(x)) * 1.0e7);
  if (units >= 10000000) units -= 10000000;
  const double quotient = static_cast<double>(units) / 1.0e7;
  const float single = static_cast<float>(quotient);
  const float other = quotient > static_cast<double>(single) ? std::nextafter(single, 2.0f)
                                                             : std::nextafter(single, -1.0f);
  const double midpoint = (static_cast<double>(single) + static_cast<double>(other)) / 2.0;
  if (quotient != midpoint) return single;
  return single_of_text(companion::coordinate_text(x));
}

companion::Crystal crystal_of(const std::string& file, const std::array<double, 6>& cell,
                              const std::vector<std::string>& elements, const double* p) {
  companion::Crystal crystal;
  crystal.file = file;
  crystal.cell = {cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]};
  for (std::size_t i = 0; i < elements.size(); ++i) {
    companion::Atom atom;
    atom.element = elements[i];
    atom.origin = "atom " + std::to_string(i + 1);
    for (int k = 0; k < 3; ++k) atom.frac[static_cast<std::size_t>(k)] = companion::wrapped(p[3 * i + static_cast<std::size_t>(k)]);
    crystal.atoms.push_back(std::move(atom));
  }
  return crystal;
}

using KindChoice = std::optional<std::vector<std::pair<std::string, std::optional<double>>>>;

// The kinds as Python gives them, checked, for the companion's planner.
companion::KindRequest kind_request(const KindChoice& kind_choice, std::optional<double> bond_limit) {
  companion::KindRequest request;
  request.option = "kind";
  request.reference_advice = "(\"X\", REF) in kinds";
  request.bond_limit = bond_limit;
  if (!kind_choice) return request;
  for (const auto& [symbol, reference] : *kind_choice) {
    if (reference && !std::isfinite(*reference)) {
      throw InputError("the reference distance of kind " + symbol + " is not finite");
    }
    request.kinds.push_back({symbol, reference});
  }
  return request;
}

// wsphere.ReferenceWarning, set when the module is made.
PyObject* reference_warning = nullptr;

// Through Python's warnings, attributed to the caller of wsphere.analyse; a
// filter that turns warnings into errors raises here.
void warn_about_placeholders(const std::vector<std::string>& placeholders) {
  for (const std::string& text : placeholders) {
    if (text.empty()) continue;
    if (PyErr_WarnEx(reference_warning, text.c_str(), 2) != 0) throw py::error_already_set();
  }
}

// Every warning of a plan, in the order wsphere-input prints them.
std::vector<std::string> plan_warnings(const companion::KindPlan& plan) {
  std::vector<std::string> warnings = plan.kind_warnings;
  if (plan.chosen && !plan.chosen->warning.empty()) warnings.push_back(plan.chosen->warning);
  for (const std::string& text : plan.placeholders) {
    if (!text.empty()) warnings.push_back(text);
  }
  return warnings;
}

companion::Crystal crystal_of(const std::string& file, const std::array<double, 6>& cell,
                              const std::vector<std::string>& elements, const DoubleArray& positions) {
  return crystal_of(file, cell, elements, positions.data());
}

py::dict prepare(const std::vector<std::string>& elements, const std::vector<double>& initial_cell,
                 const std::vector<double>& minimised_cell, const DoubleArray& initial,
                 const DoubleArray& minimised, double radius, std::optional<double> bond_limit,
                 const KindChoice& kind_choice) {
  check_positions(initial, "initial");
  check_positions(minimised, "minimised");
  check_counts(elements.size(), initial, minimised);
  check_length(radius, "sphere radius");
  if (bond_limit) check_length(*bond_limit, "bond limit");
  for (const std::string& element : elements) {
    if (element.empty()) throw InputError("an atom has no element symbol");
  }
  const auto first_cell = cell_values(initial_cell, "initial");
  const auto second_cell = cell_values(minimised_cell, "minimised");
  const companion::Crystal crystal = crystal_of("initial", first_cell, elements, initial);
  const companion::KindRequest request = kind_request(kind_choice, bond_limit);

  // The plan visits the neighbours of many atoms: the other Python threads
  // go on meanwhile.
  companion::KindPlan plan;
  {
    py::gil_scoped_release release;
    plan = companion::plan_kinds(crystal, request);
  }
  warn_about_placeholders(plan.placeholders);
  py::list kind_list;
  for (std::size_t m = 0; m < plan.kinds.size(); ++m) {
    const float reference = m < plan.references.size() ? printed("%.4f", plan.references[m]) : 0.0f;
    kind_list.append(py::make_tuple(plan.kinds[m], reference));
  }

  const auto n = static_cast<py::ssize_t>(elements.size());
  FloatArray first({n, py::ssize_t{3}});
  FloatArray second({n, py::ssize_t{3}});
  const double* p = initial.data();
  const double* q = minimised.data();
  float* a = first.mutable_data();
  float* b = second.mutable_data();
  for (py::ssize_t i = 0; i < 3 * n; ++i) {
    a[i] = printed_coordinate(p[i]);
    b[i] = printed_coordinate(q[i]);
  }
  auto printed_cell = [](const std::array<double, 6>& cell) {
    std::vector<float> out;
    for (double v : cell) out.push_back(printed("%.6f", v));
    return out;
  };
  py::dict out;
  out["names"] = plan.names;
  out["kinds"] = kind_list;
  out["initial_cell"] = printed_cell(first_cell);
  out["minimised_cell"] = printed_cell(second_cell);
  out["initial"] = first;
  out["minimised"] = second;
  out["radius"] = printed("%.4f", radius);
  out["bond_limit"] = printed("%.4f", plan.bond_limit);
  out["bond_limit_chosen"] = plan.chosen.has_value();
  out["warnings"] = plan_warnings(plan);
  return out;
}

// ---------------------------------------------------------------------------
// The companion's readers.

py::dict state_dict(const companion::Crystal& crystal) {
  const auto n = static_cast<py::ssize_t>(crystal.atoms.size());
  DoubleArray positions({n, py::ssize_t{3}});
  double* p = positions.mutable_data();
  std::vector<std::string> elements;
  std::vector<std::string> origins;
  for (py::ssize_t i = 0; i < n; ++i) {
    const companion::Atom& atom = crystal.atoms[static_cast<std::size_t>(i)];
    for (int k = 0; k < 3; ++k) p[3 * i + k] = atom.frac[static_cast<std::size_t>(k)];
    elements.push_back(atom.element);
    origins.push_back(atom.origin);
  }
  const companion::Cell& c = crystal.cell;
  py::dict out;
  out["file"] = crystal.file;
  out["cell"] = std::vector<double>{c.a, c.b, c.c, c.alpha, c.beta, c.gamma};
  out["elements"] = elements;
  out["origins"] = origins;
  out["positions"] = positions;
  return out;
}

// The states a file gives: one for .gin, .res and .cif, two for a printed
// output (known by its content; its input structure alone with
// `initial_only`, so that a run without a final structure still gives it),
// of the configuration chosen (0: the only one). The last dict of an output's
// pair carries whether the optimisation converged and GULP's notice.
py::list read_states(const std::string& path, bool initial_only, int configuration) {
  if (configuration < 0) throw InputError("the configuration is a number from 1");
  // Reading and the expansion by symmetry touch no Python object: other
  // threads (a batch's other runs) go on meanwhile.
  std::vector<companion::Crystal> states;
  bool converged = true;
  std::string notice;
  {
    py::gil_scoped_release release;
    std::vector<companion::SourceState> sources;
    const companion::FileKind kind = companion::kind_of_file(path);
    if (kind == companion::FileKind::gulp_output && !initial_only) {
      companion::RunStates run = companion::read_gulp_output(path, configuration);
      sources.push_back(std::move(run.initial));
      sources.push_back(std::move(run.final));
      converged = run.converged;
      notice = run.notice;
    } else {
      sources.push_back(companion::state_of_file(path, false, configuration));
    }
    for (const companion::SourceState& source : sources) states.push_back(companion::expand(source));
  }
  py::list out;
  for (const companion::Crystal& state : states) out.append(state_dict(state));
  py::dict last = out[out.size() - 1];
  last["converged"] = converged;
  last["notice"] = notice;
  return out;
}

// ---------------------------------------------------------------------------
// A printed output read and analysed in one call, for many runs at once
// (wsphere-batch): the steps of read_pair(), prepare() and analyse() on the
// regular path, all of it without the GIL and without Python objects in
// between. Its values are those of analyse(*read_pair(path), ...). Whatever is
// not regular (a reader's error, states that differ, a kind without a
// reference, a cell the printed values spoil) gives None: the caller then
// takes the Python path, which raises or warns as the package does.

struct GoutAnalysis {
  companion::KindPlan plan;
  std::vector<float> references;
  float radius = 0.0f;
  float bond_limit = 0.0f;
  bool converged = true;
  std::string notice;
  Results results;
};

bool same_atoms(const companion::Crystal& first, const companion::Crystal& second) {
  if (first.atoms.empty() || second.atoms.size() != first.atoms.size()) return false;
  for (std::size_t i = 0; i < first.atoms.size(); ++i) {
    const companion::Atom& a = first.atoms[i];
    const companion::Atom& b = second.atoms[i];
    if (a.element != b.element || a.element.empty()) return false;
    for (std::size_t k = 0; k < 3; ++k) {
      if (!std::isfinite(a.frac[k]) || !std::isfinite(b.frac[k])) return false;
    }
  }
  return true;
}

std::vector<double> positions_of(const companion::Crystal& crystal) {
  std::vector<double> out;
  for (const companion::Atom& atom : crystal.atoms) out.insert(out.end(), atom.frac.begin(), atom.frac.end());
  return out;
}

std::optional<GoutAnalysis> analysed_gout(const std::string& path, int configuration, double radius,
                                          std::optional<double> bond_limit, const KindChoice& kind_choice) {
  companion::RunStates run = companion::read_gulp_output(path, configuration);
  const companion::Crystal first_state = companion::expand(run.initial);
  const companion::Crystal second_state = companion::expand(run.final);
  if (!same_atoms(first_state, second_state)) return std::nullopt;
  if (!std::isfinite(radius) || !(radius > 0.0)) return std::nullopt;
  if (bond_limit && (!std::isfinite(*bond_limit) || !(*bond_limit > 0.0))) return std::nullopt;
  auto values = [](const companion::Cell& c) { return std::vector<double>{c.a, c.b, c.c, c.alpha, c.beta, c.gamma}; };
  const auto first_cell = cell_values(values(first_state.cell), "initial");
  const auto second_cell = cell_values(values(second_state.cell), "minimised");
  std::vector<std::string> elements;
  for (const companion::Atom& atom : first_state.atoms) elements.push_back(atom.element);
  const std::vector<double> initial = positions_of(first_state);
  const std::vector<double> minimised = positions_of(second_state);
  const companion::Crystal crystal = crystal_of("initial", first_cell, elements, initial.data());

  GoutAnalysis out;
  out.plan = companion::plan_kinds(crystal, kind_request(kind_choice, bond_limit));
  out.converged = run.converged;
  out.notice = run.notice;
  for (double reference : out.plan.references) out.references.push_back(printed("%.4f", reference));
  out.references.push_back(0.0f);
  out.radius = printed("%.4f", radius);
  out.bond_limit = printed("%.4f", out.plan.bond_limit);
  if (!(out.radius > 0.0f)) return std::nullopt;

  // What analyse() makes of the prepared values.
  std::vector<double> printed_first, printed_second;
  for (double v : first_cell) printed_first.push_back(printed("%.6f", v));
  for (double v : second_cell) printed_second.push_back(printed("%.6f", v));
  Structure structure;
  structure.initial_cell = cell_of(cell_values(printed_first, "initial"));
  structure.minimised_cell = cell_of(cell_values(printed_second, "minimised"));
  structure.names = out.plan.names;
  const std::size_t n = elements.size();
  structure.initial_positions.resize(n);
  structure.minimised_positions.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    structure.initial_positions[i] = {printed_coordinate(initial[3 * i]), printed_coordinate(initial[3 * i + 1]),
                                      printed_coordinate(initial[3 * i + 2])};
    structure.minimised_positions[i] = {printed_coordinate(minimised[3 * i]), printed_coordinate(minimised[3 * i + 1]),
                                        printed_coordinate(minimised[3 * i + 2])};
  }
  Settings settings{out.radius, out.bond_limit, {}};
  for (std::size_t m = 0; m < out.plan.kinds.size(); ++m) settings.kinds.push_back({out.plan.kinds[m], out.references[m]});
  out.results = wsphere::analyse(structure, settings);
  return out;
}

py::object analyse_gout(const std::string& path, int configuration, double radius, std::optional<double> bond_limit,
                        const KindChoice& kind_choice) {
  std::optional<GoutAnalysis> analysis;
  {
    py::gil_scoped_release release;
    try {
      analysis = analysed_gout(path, configuration, radius, bond_limit, kind_choice);
    } catch (...) {
      analysis.reset();  // the Python path tells what went wrong
    }
  }
  if (!analysis) return py::none();
  const Results& results = analysis->results;
  const companion::KindPlan& plan = analysis->plan;
  py::list kinds, statistics;
  for (std::size_t m = 0; m < plan.kinds.size(); ++m) kinds.append(py::make_tuple(plan.kinds[m], analysis->references[m]));
  for (const KindResult& k : results.kinds) statistics.append(py::make_tuple(k.member_count, k.mean_w, k.sigma));
  py::dict out;
  out["names"] = plan.names;
  out["kinds"] = kinds;
  out["warnings"] = plan_warnings(plan);
  out["radius"] = analysis->radius;
  out["bond_limit"] = analysis->bond_limit;
  out["converged"] = analysis->converged;
  out["notice"] = analysis->notice;
  put_atom_columns(results, out);
  out["statistics"] = statistics;
  return out;
}

// ---------------------------------------------------------------------------
// input.txt and the whole program.

py::tuple run(const py::bytes& input, const std::string& directory) {
  std::string bytes = input;
  MemoryRunResult result;
  {
    py::gil_scoped_release release;
    result = run_in_memory(bytes, directory);
  }
  return py::make_tuple(py::bytes(result.report), py::bytes(result.messages), result.status);
}


std::string text_of(std::string_view bytes) {
  std::string text(bytes);
  const auto end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

// What the program reads from input bytes; a failure raises InputError with
// the program's own message lines.
py::dict read_input(const py::bytes& input) {
  std::string bytes = input;
  auto state = std::make_unique<StructureState>();
  bool unreadable = false;
  {
    // The reading touches no Python object: other threads go on meanwhile.
    py::gil_scoped_release release;
    try {
      textio::MemorySource source(bytes);
      textio::FreeFormReader reader(source, 1);
      read_structure(reader, *state);
    } catch (const Fatal&) {
      unreadable = true;
    }
  }
  if (unreadable) {
    MemoryRunResult result;
    {
      py::gil_scoped_release release;
      result = run_in_memory(bytes, "/run");
    }
    throw InputError(result.messages.empty() ? std::string("input.txt cannot be read") : message_text(result.messages));
  }
  const auto n = static_cast<py::ssize_t>(state->cell_atom_count);
  if (n <= 0) throw InputError("input.txt lists no atoms");
  FloatArray first({n, py::ssize_t{3}});
  FloatArray second({n, py::ssize_t{3}});
  float* a = first.mutable_data();
  float* b = second.mutable_data();
  // Names and symbols stay bytes (Windows-1251, as the report prints them).
  py::list names;
  for (int i = 1; i <= n; ++i) {
    names.append(py::bytes(text_of(bytes_of(state->cell_atom_names(i)))));
    const auto& p = state->initial_positions;
    const auto& q = state->minimised_positions;
    const std::size_t row = 3 * static_cast<std::size_t>(i - 1);
    a[row] = p.x(i), a[row + 1] = p.y(i), a[row + 2] = p.z(i);
    b[row] = q.x(i), b[row + 1] = q.y(i), b[row + 2] = q.z(i);
  }
  py::list kinds;
  for (int k = 1; k <= state->kind_count; ++k) {
    // The reader stores a reference only for the kinds before the last.
    const float reference = k < state->kind_count ? state->bond_reference(k) : 0.0f;
    kinds.append(py::make_tuple(py::bytes(std::string(bytes_of(state->kind_symbols(k)))), reference));
  }
  auto cell = [](const Cell& c) { return std::vector<float>{c.a, c.b, c.c, c.alpha, c.beta, c.gamma}; };
  py::dict out;
  out["names"] = names;
  out["kinds"] = kinds;
  out["initial_cell"] = cell(state->initial_cell);
  out["minimised_cell"] = cell(state->minimised_cell);
  out["initial"] = first;
  out["minimised"] = second;
  out["radius"] = state->sphere_radius;
  out["bond_limit"] = state->bond_limit;
  return out;
}

// Both ways of measuring a reference, for the tests: (fast, plain) as
// (mean, distances, atoms).
py::tuple compare_references(const std::vector<std::string>& elements, const std::vector<double>& cell,
                             const DoubleArray& positions, const std::vector<std::string>& kinds, int kind,
                             double limit) {
  check_positions(positions, "initial");
  if (static_cast<std::size_t>(positions.shape(0)) != elements.size()) throw InputError("one element per atom");
  const companion::Crystal crystal = crystal_of("initial", cell_values(cell, "initial"), elements, positions);
  const std::vector<std::string> names = companion::atom_names(crystal.atoms, kinds);
  const companion::BondMean fast = companion::measured_bond_distance(crystal, names, kinds, kind, limit);
  const companion::BondMean plain = companion::mean_bond_distance(crystal, names, kinds, kind, limit);
  return py::make_tuple(py::make_tuple(fast.mean, fast.count, fast.atoms),
                        py::make_tuple(plain.mean, plain.count, plain.atoms));
}

// The element a label or a --kind symbol names, as wsphere-input reads it
// ("SI" and "Si1" give "Si"); empty when it names none.
std::string element_of(const std::string& label) { return companion::element_of_label(label); }

}  // namespace
}  // namespace wsphere::python

PYBIND11_MODULE(_core, m) {
  using namespace wsphere::python;
  m.doc() = "The wsphere analysis, file readers and program, for the wsphere package.";
  py::register_exception<InputError>(m, "InputError", PyExc_ValueError);
  reference_warning = PyErr_NewExceptionWithDoc(
      "wsphere.ReferenceWarning",
      "A kind's reference distance is a placeholder: it had nothing to be measured from, and wsphere does not "
      "use it.",
      PyExc_UserWarning, nullptr);
  if (reference_warning == nullptr) throw py::error_already_set();
  m.attr("ReferenceWarning") = py::handle(reference_warning);

  m.def("analyse", &analyse, py::arg("names"), py::arg("initial_cell"), py::arg("minimised_cell"),
        py::arg("initial"), py::arg("minimised"), py::arg("radius"), py::arg("bond_limit"),
        py::arg("kinds"), py::arg("checked") = true, py::arg("threads") = 1,
        "W and compliance of every atom; positions as (n, 3) singles; the atoms shared among `threads` "
        "threads (0: one per processor).");
  m.def("prepare", &prepare, py::arg("elements"), py::arg("initial_cell"), py::arg("minimised_cell"),
        py::arg("initial"), py::arg("minimised"), py::arg("radius"), py::arg("bond_limit") = py::none(),
        py::arg("kinds") = py::none(),
        "Kinds, names, references, the bond limit (None: chosen from the structure) and singles as "
        "wsphere-input would write them to input.txt.");
  m.def("_compare_references", &compare_references, py::arg("elements"), py::arg("cell"), py::arg("positions"),
        py::arg("kinds"), py::arg("kind"), py::arg("limit"));
  m.def("read_states", &read_states, py::arg("path"), py::arg("initial_only") = false,
        py::arg("configuration") = 0,
        "The states of a .gin, .res or .cif file (one) or a printed output (initial and final, or the "
        "initial one alone) of one configuration (0: the only one).");
  m.def("is_gulp_output", [](const py::bytes& head) { return wsphere::companion::is_gulp_output(std::string(head)); },
        py::arg("head"), "Whether the first bytes of a file are GULP's printed output.");
  m.def("count_configurations", [](const py::bytes& text) { return wsphere::companion::count_configurations(std::string(text)); },
        py::arg("text"), "The configurations a printed output holds.");
  m.attr("HEAD_BYTES") = wsphere::companion::kHeadBytes;
  m.def("analyse_gout", &analyse_gout, py::arg("path"), py::arg("configuration"), py::arg("radius"),
        py::arg("bond_limit") = py::none(), py::arg("kinds") = py::none(),
        "analyse(*read_pair(path)) of a .gout in one call without the GIL, as plain values; None where the "
        "Python path must decide (errors, warnings of the readers).");
  m.def("read_input", &read_input, py::arg("input"), "The structure and settings of input.txt bytes.");
  m.def("element_of_label", &element_of, py::arg("label"),
        "The element symbol a label starts with, as wsphere-input reads --kind; empty for none.");
  m.def("run", &run, py::arg("input"), py::arg("directory") = "/run",
        "The program on input.txt bytes: report bytes, console text, exit status.");
}
