// The kinds, atom names, reference distances and bond limit of a structure:
// one set of rules for wsphere-input, the Python package and the batch.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "companion/bond_limit.hpp"
#include "companion/crystal.hpp"
#include "companion/kinds.hpp"

namespace wsphere::companion {

struct KindRequest {
  std::vector<KindChoice> kinds;      // empty: the elements present (default_kind_symbols)
  std::optional<double> bond_limit;   // empty: chosen from the structure (choose_bond_limit)
  // How the caller's user names a kind in messages: "--kind" for the command
  // line, "kind" for Python.
  std::string option = "--kind";
  // How to give a reference, with X standing for the symbol:
  // "--kind X=REF", "(\"X\", REF) in kinds".
  std::string reference_advice = "--kind X=REF";
};

struct KindPlan {
  std::vector<std::string> kinds;
  std::vector<std::string> names;        // one per atom
  std::vector<double> references;        // one per kind but the last
  std::vector<BondMean> measured;        // one per kind but the last; count 0 where the reference was given
  double bond_limit = kUsualBondLimit;
  std::optional<BondLimitChoice> chosen; // set when the bond limit was chosen here
  std::vector<std::string> kind_warnings;  // atoms in no kind or in two, kinds without atoms
  std::vector<std::string> placeholders;   // one per kind but the last: why its reference is a placeholder, or 
};

// The plan for the initial state `initial`. InputError for kinds that cannot
// be (a kind given twice, a reference for the last kind, an empty symbol) and
// for a kind with compliance that has nothing to measure its reference from.
KindPlan plan_kinds(const Crystal& initial, const KindRequest& request);

// Its two steps, for a caller that tells the warnings of the first before
// the second may fail: the kinds, names and their warnings; then the bond
// limit and the references.
KindPlan name_kinds(const Crystal& initial, const KindRequest& request);
void measure_references(const Crystal& initial, const KindRequest& request, KindPlan& plan);

// The advice with its X replaced by the symbol.
std::string reference_advice_for(const KindRequest& request, const std::string& symbol);

}  // namespace wsphere::companion
