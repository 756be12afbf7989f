#include "companion/companion.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "companion/cif_file.hpp"
#include "companion/expansion.hpp"
#include "companion/geometry.hpp"
#include "companion/gulp_files.hpp"
#include "companion/input_file.hpp"
#include "companion/kinds.hpp"
#include "companion/options.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

namespace fs = std::filesystem;

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

void check_readable(const std::string& path) {
  if (!fs::exists(path)) throw InputError(path + ": no such file");
  if (!fs::is_regular_file(path)) throw InputError(path + ": not a regular file");
}

// The state a file gives: a .gout its initial state when named first and its
// final state when named second.
SourceState state_from(const std::string& path, bool minimised) {
  const std::string extension = lower(fs::path(path).extension().string());
  check_readable(path);
  if (extension == ".gin" || extension == ".res") return read_gulp_input(path);
  if (extension == ".cif") return read_cif_file(path);
  if (extension == ".gout") return minimised ? read_gulp_output(path).final : read_gulp_output_initial(path);
  throw InputError(path + ": unknown kind of file (expected .gout, .gin, .res or .cif)");
}

std::array<Crystal, 2> load(const Options& options) {
  std::array<SourceState, 2> sources;
  if (options.inputs.size() == 1) {
    const std::string& path = options.inputs[0];
    if (lower(fs::path(path).extension().string()) != ".gout") {
      throw InputError(path + ": a single file must be a printed output (.gout); otherwise give two files");
    }
    check_readable(path);
    RunStates states = read_gulp_output(path);
    sources = {states.initial, states.final};
  } else {
    sources = {state_from(options.inputs[0], false), state_from(options.inputs[1], true)};
  }
  return {replicate(expand(sources[0]), options.supercell), replicate(expand(sources[1]), options.supercell)};
}

void check_same_atoms(const Crystal& initial, const Crystal& minimised) {
  const std::size_t common = std::min(initial.atoms.size(), minimised.atoms.size());
  for (std::size_t i = 0; i < common; ++i) {
    const Atom& a = initial.atoms[i];
    const Atom& b = minimised.atoms[i];
    if (a.element == b.element) continue;
    throw InputError("atom " + std::to_string(i + 1) + " differs: " + a.element + " from " + initial.file +
                     " " + a.origin + ", " + b.element + " from " + minimised.file + " " + b.origin +
                     "; both states must list the same atoms in the same order");
  }
  if (initial.atoms.size() != minimised.atoms.size()) {
    const Crystal& longer = initial.atoms.size() > minimised.atoms.size() ? initial : minimised;
    const Atom& extra = longer.atoms[common];
    throw InputError("the initial state has " + std::to_string(initial.atoms.size()) +
                     " atoms, the minimised state " + std::to_string(minimised.atoms.size()) +
                     "; the first without a partner is atom " + std::to_string(common + 1) + ", " +
                     extra.element + " from " + longer.file + " " + extra.origin);
  }
}

void check_capacity(const Crystal& crystal, const Options& options) {
  const std::size_t count = crystal.atoms.size();
  if (count <= static_cast<std::size_t>(kMaxAtoms)) return;
  const bool replicated = options.supercell != std::array<int, 3>{1, 1, 1};
  throw InputError(std::to_string(count) + " atoms: wsphere holds at most " + std::to_string(kMaxAtoms) +
                   (replicated ? "; use fewer cells in --supercell" : "; the cell is too large for wsphere"));
}

std::vector<std::string> kind_symbols(const Options& options, const Crystal& initial) {
  std::vector<std::string> kinds;
  for (const KindChoice& choice : options.kinds) kinds.push_back(choice.symbol);
  if (kinds.empty()) kinds = default_kind_symbols(initial.atoms);
  if (kinds.size() > static_cast<std::size_t>(kMaxKinds)) {
    throw InputError(std::to_string(kinds.size()) + " kinds: wsphere holds at most " +
                     std::to_string(kMaxKinds) + "; choose the kinds with --kind");
  }
  std::set<std::string> seen;
  for (const std::string& kind : kinds) {
    if (!seen.insert(kind).second) throw InputError("--kind " + kind + " is given twice");
  }
  if (!options.kinds.empty() && options.kinds.back().reference) {
    throw InputError("--kind " + kinds.back() + "=...: the last kind takes no reference distance");
  }
  return kinds;
}

// The mean bond distance of kind m, reported on standard error; a placeholder
// with a warning for a later kind with nothing to measure.
double measured_reference(const Options& options, const Crystal& initial, const std::vector<std::string>& names,
                          const std::vector<std::string>& kinds, std::size_t m, std::ostream& err) {
  const BondMean bond = mean_bond_distance(initial, names, kinds, static_cast<int>(m), options.bond_limit);
  const Reference reference = reference_from(bond, kinds, m, options.bond_limit, "--kind " + kinds[m] + "=REF");
  if (!reference.warning.empty()) {
    err << "warning: " << reference.warning << "\n";
  } else {
    err << "reference " << kinds[m] << ": " << fixed(bond.mean, 4) << " A, the mean of " << bond.count
        << (bond.count == 1 ? " distance" : " distances") << " up to the bond limit in the initial state\n";
  }
  return reference.value;
}

std::vector<double> references(const Options& options, const Crystal& initial,
                               const std::vector<std::string>& names,
                               const std::vector<std::string>& kinds, std::ostream& err) {
  std::vector<double> values;
  for (std::size_t m = 0; m + 1 < kinds.size(); ++m) {
    const bool given = m < options.kinds.size() && options.kinds[m].reference;
    values.push_back(given ? *options.kinds[m].reference : measured_reference(options, initial, names, kinds, m, err));
  }
  return values;
}

// Two atoms on one position (say, two species sharing a site) do not see each
// other in wsphere's sphere pass.
void warn_about_shared_positions(const Crystal& crystal, const std::vector<std::string>& names,
                                 std::ostream& err) {
  const Metric metric(crystal.cell);
  for (std::size_t i = 0; i < crystal.atoms.size(); ++i) {
    for (std::size_t j = i + 1; j < crystal.atoms.size(); ++j) {
      const auto& p = crystal.atoms[i].frac;
      const auto& q = crystal.atoms[j].frac;
      const double apart = metric.periodic_length({q[0] - p[0], q[1] - p[1], q[2] - p[2]});
      if (apart >= kSamePositionTolerance) continue;
      err << "warning: atoms " << i + 1 << " (" << names[i] << ", " << crystal.atoms[i].origin << ") and "
          << j + 1 << " (" << names[j] << ", " << crystal.atoms[j].origin << ") of the initial state are "
          << fixed(apart, 4) << " A apart: wsphere does not count them as neighbours of each other\n";
    }
  }
}

void warn_about_radius(const Crystal& crystal, const char* state, double radius, std::ostream& err) {
  const Vector widths = perpendicular_widths(crystal.cell);
  const double narrowest = *std::min_element(widths.begin(), widths.end());
  if (radius <= narrowest) return;
  err << "warning: the sphere radius " << fixed(radius, 4) << " A is larger than the narrowest width "
      << fixed(narrowest, 4) << " A of the " << state
      << " cell: the 3 x 3 x 3 block misses neighbours; use --supercell\n";
}

void refuse_to_overwrite(const Options& options) {
  if (fs::exists(options.output) && !options.force) {
    throw InputError(options.output + " exists; use --force to overwrite it");
  }
}

void write_new_file(const Options& options, const std::string& text) {
  refuse_to_overwrite(options);
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw InputError(options.output + ": cannot be written");
}

void summary(const char* state, const Crystal& crystal, const std::vector<std::string>& kinds,
             const std::vector<std::string>& names, std::ostream& err) {
  std::vector<int> counts(kinds.size(), 0);
  for (const std::string& name : names) {
    for (int m : kinds_of_name(name, kinds)) ++counts[static_cast<std::size_t>(m)];
  }
  const Cell& c = crystal.cell;
  err << state << ": " << crystal.file << ": " << crystal.atoms.size() << " atoms, cell " << fixed(c.a, 4)
      << " " << fixed(c.b, 4) << " " << fixed(c.c, 4) << " " << fixed(c.alpha, 3) << " " << fixed(c.beta, 3)
      << " " << fixed(c.gamma, 3) << ", kinds";
  for (std::size_t m = 0; m < kinds.size(); ++m) err << " " << kinds[m] << " " << counts[m];
  err << "\n";
}

// Measured in the initial cell, after taking each coordinate change to its
// nearest lattice translate, as wsphere's coordinate correction does.
void largest_displacement(const std::array<Crystal, 2>& states, const std::vector<std::string>& names,
                          std::ostream& err) {
  const Metric metric(states[0].cell);
  double largest = -1.0;
  std::size_t which = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto& a = states[0].atoms[i].frac;
    const auto& b = states[1].atoms[i].frac;
    const double moved = metric.periodic_length({b[0] - a[0], b[1] - a[1], b[2] - a[2]});
    if (moved > largest) {
      largest = moved;
      which = i;
    }
  }
  err << "largest displacement: " << fixed(largest, 4) << " A (atom " << which + 1 << ", " << names[which]
      << ")\n";
}

InputPlan plan_for(const Options& options, const std::array<Crystal, 2>& states) {
  InputPlan plan;
  plan.initial_cell = states[0].cell;
  plan.minimised_cell = states[1].cell;
  plan.title = options.title.value_or(fs::path(options.inputs[0]).stem().string());
  plan.radius = options.radius;
  plan.bond_limit = options.bond_limit;
  plan.switches = options.switches;
  for (const Atom& atom : states[0].atoms) plan.initial.push_back(atom.frac);
  for (const Atom& atom : states[1].atoms) plan.minimised.push_back(atom.frac);
  return plan;
}

int run(const Options& options, std::ostream& err) {
  refuse_to_overwrite(options);  // before any work; checked again just before writing
  const std::array<Crystal, 2> states = load(options);
  check_same_atoms(states[0], states[1]);
  check_capacity(states[0], options);
  InputPlan plan = plan_for(options, states);
  plan.kinds = kind_symbols(options, states[0]);
  plan.names = atom_names(states[0].atoms, plan.kinds);
  for (const std::string& warning : kind_warnings(states[0].atoms, plan.names, plan.kinds)) {
    err << "warning: " << warning << "\n";
  }
  warn_about_shared_positions(states[0], plan.names, err);
  plan.references = references(options, states[0], plan.names, plan.kinds, err);
  warn_about_radius(states[0], "initial", options.radius, err);
  warn_about_radius(states[1], "minimised", options.radius, err);
  write_new_file(options, input_text(plan));
  summary("initial", states[0], plan.kinds, plan.names, err);
  summary("minimised", states[1], plan.kinds, plan.names, err);
  largest_displacement(states, plan.names, err);
  return 0;
}

}  // namespace

int run_companion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = parse_options(args);
  } catch (const UsageError& failure) {
    err << "wsphere-input: " << failure.what() << "\n(wsphere-input --help tells the usage)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return 0;
  }
  try {
    return run(options, err);
  } catch (const InputError& failure) {
    err << "wsphere-input: " << failure.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace wsphere::companion
