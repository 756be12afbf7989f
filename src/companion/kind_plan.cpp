#include "companion/kind_plan.hpp"

#include "companion/bond_search.hpp"

namespace wsphere::companion {

namespace {

std::vector<std::string> kind_symbols(const Crystal& initial, const KindRequest& request) {
  std::vector<std::string> kinds;
  for (const KindChoice& choice : request.kinds) kinds.push_back(choice.symbol);
  if (kinds.empty()) return default_kind_symbols(initial.atoms);
  for (std::size_t m = 0; m < kinds.size(); ++m) {
    if (kinds[m].empty()) throw InputError("a kind needs a symbol");
    for (std::size_t k = 0; k < m; ++k) {
      if (kinds[k] == kinds[m]) throw InputError(request.option + " " + kinds[m] + " is given twice");
    }
  }
  if (request.kinds.back().reference) {
    throw InputError(request.option + " " + kinds.back() + "=...: the last kind takes no reference distance");
  }
  return kinds;
}

}  // namespace

std::string reference_advice_for(const KindRequest& request, const std::string& symbol) {
  std::string advice = request.reference_advice;
  const std::size_t x = advice.find('X');
  if (x != std::string::npos) advice.replace(x, 1, symbol);
  return advice;
}

KindPlan plan_kinds(const Crystal& initial, const KindRequest& request) {
  KindPlan plan = name_kinds(initial, request);
  measure_references(initial, request, plan);
  return plan;
}

KindPlan name_kinds(const Crystal& initial, const KindRequest& request) {
  KindPlan plan;
  plan.kinds = kind_symbols(initial, request);
  plan.names = atom_names(initial.atoms, plan.kinds);
  plan.kind_warnings = kind_warnings(initial.atoms, plan.names, plan.kinds);
  if (request.kinds.empty()) {
    // The empty last kind that default_kind_symbols adds is meant to be empty.
    const std::string added = "kind " + plan.kinds.back() + " holds no atom";
    std::erase(plan.kind_warnings, added);
  }
  return plan;
}

void measure_references(const Crystal& initial, const KindRequest& request, KindPlan& plan) {
  if (request.bond_limit) {
    plan.bond_limit = *request.bond_limit;
  } else {
    plan.chosen = choose_bond_limit(initial, plan.names, plan.kinds);
    plan.bond_limit = plan.chosen->limit;
  }
  for (std::size_t m = 0; m + 1 < plan.kinds.size(); ++m) {
    const bool given = m < request.kinds.size() && request.kinds[m].reference;
    if (given) {
      plan.references.push_back(*request.kinds[m].reference);
      plan.measured.push_back({});
      plan.placeholders.emplace_back();
      continue;
    }
    const BondMean bond = measured_bond_distance(initial, plan.names, plan.kinds, static_cast<int>(m), plan.bond_limit);
    const Reference reference =
        reference_from(bond, plan.kinds, m, plan.bond_limit, reference_advice_for(request, plan.kinds[m]));
    plan.placeholders.push_back(reference.warning);
    plan.references.push_back(reference.value);
    plan.measured.push_back(reference.warning.empty() ? bond : BondMean{});
  }
}

}  // namespace wsphere::companion
