#include "companion/companion.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "companion/expansion.hpp"
#include "companion/geometry.hpp"
#include "companion/gulp_files.hpp"
#include "companion/input_file.hpp"
#include "companion/kind_plan.hpp"
#include "companion/kinds.hpp"
#include "companion/options.hpp"
#include "companion/source_files.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

namespace fs = std::filesystem;

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

struct Loaded {
  std::array<Crystal, 2> states;
  bool converged = true;
  std::string notice;  // GULP's words when the run did not converge
};

Loaded load(const Options& options) {
  std::array<SourceState, 2> sources;
  Loaded loaded;
  const std::string& last = options.inputs.back();
  const bool printed_output = kind_of_file(last) == FileKind::gulp_output;
  if (options.inputs.size() == 1 && !printed_output) {
    throw InputError(last + ": a single file must be a printed output of GULP (known by its content); "
                            "otherwise give two files");
  }
  if (printed_output) {
    // The minimised state from a printed output, with how its optimisation ended.
    RunStates states = read_gulp_output(last, options.configuration);
    sources = {states.initial, states.final};
    loaded.converged = states.converged;
    loaded.notice = states.notice;
  } else {
    sources[1] = state_of_file(last, true, options.configuration);
  }
  if (options.inputs.size() == 2) sources[0] = state_of_file(options.inputs[0], false, options.configuration);
  loaded.states = {replicate(expand(sources[0]), options.supercell), replicate(expand(sources[1]), options.supercell)};
  return loaded;
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
                   (replicated ? "; use fewer cells in --supercell" : "") +
                   "; wsphere-batch and wsphere.analyse (Python) take any size");
}

void check_kind_count(std::size_t count) {
  if (count <= static_cast<std::size_t>(kMaxKinds)) return;
  throw InputError(std::to_string(count) + " kinds: wsphere holds at most " + std::to_string(kMaxKinds) +
                   "; choose the kinds with --kind");
}

KindRequest kind_request(const Options& options) {
  KindRequest request;
  request.kinds = options.kinds;
  request.bond_limit = options.bond_limit;
  check_kind_count(request.kinds.size());
  return request;
}

void report_bond_limit(const KindPlan& plan, std::ostream& err) {
  if (!plan.chosen) return;
  const BondLimitChoice& chosen = *plan.chosen;
  if (chosen.atoms == 0) {
    err << "bond limit: " << fixed(plan.bond_limit, 4) << " A (no atom of kinds 1 and 2 to choose it from)\n";
    return;
  }
  err << "bond limit: " << fixed(plan.bond_limit, 4) << " A, chosen from the initial structure: the first shells "
      << "of kinds 1 and 2 end at up to " << fixed(chosen.first_shell_end, 4) << " A, their next neighbours "
      << "start at " << fixed(chosen.second_shell_start, 4) << " A (--bond-limit to choose otherwise)\n";
  if (!chosen.warning.empty()) err << "warning: " << chosen.warning << "\n";
}

// The reference of each kind but the last, on standard error: measured
// ones with how, placeholders with a warning.
void report_references(const KindPlan& plan, std::ostream& err) {
  for (std::size_t m = 0; m < plan.measured.size(); ++m) {
    if (!plan.placeholders[m].empty()) err << "warning: " << plan.placeholders[m] << "\n";
    const BondMean& bond = plan.measured[m];
    if (bond.count == 0) continue;
    err << "reference " << plan.kinds[m] << ": " << fixed(bond.mean, 4) << " A, the mean of " << bond.count
        << (bond.count == 1 ? " distance" : " distances") << " up to the bond limit in the initial state\n";
  }
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

InputPlan plan_for(const Options& options, const std::array<Crystal, 2>& states, const KindPlan& kinds) {
  InputPlan plan;
  plan.initial_cell = states[0].cell;
  plan.minimised_cell = states[1].cell;
  plan.title = options.title.value_or(fs::path(options.inputs[0]).stem().string());
  plan.radius = options.radius;
  plan.bond_limit = kinds.bond_limit;
  plan.switches = options.switches;
  for (const Atom& atom : states[0].atoms) plan.initial.push_back(atom.frac);
  for (const Atom& atom : states[1].atoms) plan.minimised.push_back(atom.frac);
  plan.kinds = kinds.kinds;
  plan.names = kinds.names;
  plan.references = kinds.references;
  return plan;
}

int run(const Options& options, std::ostream& err) {
  refuse_to_overwrite(options);  // before any work; checked again just before writing
  const Loaded loaded = load(options);
  const std::array<Crystal, 2>& states = loaded.states;
  check_same_atoms(states[0], states[1]);
  check_capacity(states[0], options);
  if (!loaded.converged) {
    err << "warning: the optimisation did not converge (GULP: \"" << loaded.notice
        << "\"); the minimised state is where it stopped\n";
  }
  const KindRequest request = kind_request(options);
  KindPlan kinds = name_kinds(states[0], request);
  check_kind_count(kinds.kinds.size());
  for (const std::string& warning : kinds.kind_warnings) err << "warning: " << warning << "\n";
  warn_about_shared_positions(states[0], kinds.names, err);
  try {
    measure_references(states[0], request, kinds);
  } catch (const InputError&) {
    report_bond_limit(kinds, err);  // what was measured before the kind that has nothing to measure
    report_references(kinds, err);
    throw;
  }
  report_bond_limit(kinds, err);
  report_references(kinds, err);
  warn_about_radius(states[0], "initial", options.radius, err);
  warn_about_radius(states[1], "minimised", options.radius, err);
  write_new_file(options, input_text(plan_for(options, states, kinds)));
  summary("initial", states[0], kinds.kinds, kinds.names, err);
  summary("minimised", states[1], kinds.kinds, kinds.names, err);
  largest_displacement(states, kinds.names, err);
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
