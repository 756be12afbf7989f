#include "companion/kinds.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include "companion/geometry.hpp"
#include "structure/atom_kind.hpp"

namespace wsphere::companion {

namespace {

std::string decimals4(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  return buffer;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

std::vector<std::string> default_kind_symbols(const std::vector<Atom>& atoms) {
  std::vector<std::string> two_letter;
  std::vector<std::string> one_letter;
  std::map<std::string, int> counts;
  for (const Atom& atom : atoms) {
    std::vector<std::string>& group = atom.element.size() == 1 ? one_letter : two_letter;
    if (!contains(group, atom.element)) group.push_back(atom.element);
    ++counts[atom.element];
  }
  // The most frequent one-letter element goes last: its names need no blank.
  const auto most = std::max_element(one_letter.begin(), one_letter.end(),
                                     [&](const std::string& x, const std::string& y) {
                                       return counts[x] < counts[y];
                                     });
  if (most != one_letter.end()) std::rotate(most, most + 1, one_letter.end());
  two_letter.insert(two_letter.end(), one_letter.begin(), one_letter.end());
  // The last kind counts atoms only when its symbol has one letter: where
  // every element has two (a metal, NaCl), a last kind of a letter no
  // element starts with lets every element be a kind that counts its atoms.
  if (!two_letter.empty() && two_letter.back().size() == 2 && two_letter.size() < static_cast<std::size_t>(kMaxKinds)) {
    for (const char* letter : {"X", "Q", "J"}) {
      const bool used = std::any_of(two_letter.begin(), two_letter.end(),
                                    [&](const std::string& kind) { return kind[0] == letter[0]; });
      if (!used) {
        two_letter.emplace_back(letter);
        break;
      }
    }
  }
  return two_letter;
}

std::vector<std::string> atom_names(const std::vector<Atom>& atoms,
                                    const std::vector<std::string>& kinds) {
  std::map<std::string, int> running;
  std::vector<std::string> names;
  for (const Atom& atom : atoms) {
    const auto kind = std::find(kinds.begin(), kinds.end(), atom.element);
    const bool padded_symbol =
        atom.element.size() == 1 && kind != kinds.end() && kind != kinds.end() - 1;
    names.push_back(atom.element + (padded_symbol ? " " : "") + std::to_string(++running[atom.element]));
  }
  return names;
}

// Called for every atom of a structure: the symbols of the usual few kinds
// are padded on the stack, without allocating.
std::vector<int> kinds_of_name(const std::string& name, const std::vector<std::string>& kinds) {
  AtomName bytes;
  bytes.fill(' ');
  std::copy_n(name.begin(), std::min(name.size(), bytes.size()), bytes.begin());
  constexpr std::size_t kFew = 16;
  std::array<KindSymbol, kFew> few{};
  std::vector<KindSymbol> many(kinds.size() > kFew ? kinds.size() : 0);
  KindSymbol* const symbols = kinds.size() > kFew ? many.data() : few.data();
  for (std::size_t m = 0; m < kinds.size(); ++m) {
    symbols[m] = {' ', ' '};
    std::copy_n(kinds[m].begin(), std::min<std::size_t>(kinds[m].size(), 2), symbols[m].begin());
  }
  std::vector<int> found;
  const int count = static_cast<int>(kinds.size());
  for (int m = 1; m <= count; ++m) {
    if (belongs_to_kind(bytes, symbols, count, m)) found.push_back(m - 1);
  }
  return found;
}

std::vector<std::string> kind_warnings(const std::vector<Atom>& atoms,
                                       const std::vector<std::string>& names,
                                       const std::vector<std::string>& kinds) {
  std::vector<std::string> warnings;
  std::vector<std::string> reported;
  std::vector<int> members(kinds.size(), 0);
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const std::vector<int> found = kinds_of_name(names[i], kinds);
    for (int m : found) ++members[static_cast<std::size_t>(m)];
    const std::string& element = atoms[i].element;
    if (found.size() == 1 || contains(reported, element)) continue;
    reported.push_back(element);
    if (found.empty()) {
      warnings.push_back("the " + element + " atoms (" + names[i] + " ...) belong to no kind");
    } else {
      std::string list;
      for (int m : found) list += (list.empty() ? "" : " and ") + kinds[static_cast<std::size_t>(m)];
      warnings.push_back("the " + element + " atoms (" + names[i] + " ...) are counted in kinds " + list);
    }
  }
  for (std::size_t m = 0; m < kinds.size(); ++m) {
    if (members[m] != 0) continue;
    const bool last_two_letters = m + 1 == kinds.size() && kinds[m].size() == 2;
    warnings.push_back("kind " + kinds[m] + " holds no atom" +
                       (last_two_letters ? ": the last kind counts atoms only when its symbol has one letter"
                                         : ""));
  }
  return warnings;
}

BondMean mean_bond_distance(const Crystal& crystal, const std::vector<std::string>& names,
                            const std::vector<std::string>& kinds, int kind, double limit) {
  const Metric metric(crystal.cell);
  const std::vector<Atom>& atoms = crystal.atoms;
  double sum = 0.0;
  int count = 0;
  int members = 0;
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const std::vector<int> found = kinds_of_name(names[i], kinds);
    if (std::find(found.begin(), found.end(), kind) == found.end()) continue;
    ++members;
    for (const Atom& other : atoms) {
      for (int s = 0; s < 27; ++s) {
        const Vector d = {other.frac[0] + (s % 3 - 1) - atoms[i].frac[0],
                          other.frac[1] + (s / 3 % 3 - 1) - atoms[i].frac[1],
                          other.frac[2] + (s / 9 - 1) - atoms[i].frac[2]};
        const double distance = metric.length(d);
        if (distance > 1.0e-4 && distance <= limit) {
          sum += distance;
          ++count;
        }
      }
    }
  }
  return {count > 0 ? sum / count : 0.0, count, members};
}

Reference reference_from(const BondMean& bond, const std::vector<std::string>& kinds, std::size_t kind,
                         double limit, const std::string& how) {
  if (bond.atoms > 0 && bond.count > 0) return {bond.mean, {}};
  const std::string& symbol = kinds[kind];
  const std::string cause =
      bond.atoms == 0 ? "kind " + symbol + " holds no atom to measure a reference distance from"
                      : "kind " + symbol + " has no neighbour within the bond limit " + decimals4(limit) + " A";
  if (kind < kKindsWithCompliance) {
    throw InputError(cause + (bond.atoms == 0 ? "; give it as " : "; give its reference as ") + how);
  }
  return {kPlaceholderReference, cause + "; its reference is set to " + decimals4(kPlaceholderReference) +
                                     " A, a placeholder: only the references of kinds 1 and 2 enter the "
                                     "compliance"};
}

}  // namespace wsphere::companion
