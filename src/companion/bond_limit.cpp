#include "companion/bond_limit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "companion/bond_search.hpp"
#include "companion/kinds.hpp"

namespace wsphere::companion {

namespace {

// An atom without a neighbour this close (Angstrom) is bonded to nothing
// (the longest bonds, Cs-I, are 3.95 A): it is left out of the choice, and
// its kind is refused later should it be one of the first two.
constexpr double kFirstReach = 4.0;

// How far neighbours are looked at, at most: a next distance beyond a
// shell farther out is taken as this.
constexpr double kReach = 6.0;

std::string decimals(double value, int places) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", places, value);
  return buffer;
}

bool has_compliance(const std::string& name, const std::vector<std::string>& kinds) {
  for (int m : kinds_of_name(name, kinds)) {
    if (m < static_cast<int>(kKindsWithCompliance)) return true;
  }
  return false;
}

// The distances from atom i to the images within the search's reach.
void distances_of(const NeighbourSearch& search, std::size_t i, std::vector<double>& out) {
  out.clear();
  search.for_each_within(i, [&](double d) {
    if (d > kSelfDistance) out.push_back(d);
  });
}

struct Shell {
  std::size_t atom = 0;
  double end = 0.0;
  double beyond = 0.0;
};

// The first shell of atom i from its distances, those beyond `cap` left out.
Shell shell_of(std::size_t i, std::vector<double>& distances, double cap) {
  std::erase_if(distances, [&](double d) { return d > cap; });
  Shell shell{i, 0.0, 0.0};
  first_shell(distances, cap, shell.end, shell.beyond);
  return shell;
}

std::vector<std::size_t> atoms_looked_at(const Crystal& crystal, const std::vector<std::string>& names,
                                         const std::vector<std::string>& kinds) {
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < crystal.atoms.size(); ++i) {
    if (has_compliance(names[i], kinds)) chosen.push_back(i);
  }
  // Kinds chosen by the user that count no atom of the structure leave
  // nothing to look at: then every atom is looked at.
  if (chosen.empty()) {
    for (std::size_t i = 0; i < crystal.atoms.size(); ++i) chosen.push_back(i);
  }
  return chosen;
}

// The first shells of the atoms with compliance (of all atoms when no atom
// has); atoms without a neighbour within kFirstReach are left out. The
// distances within kFirstReach serve the atoms of a near nearest neighbour;
// those whose twice nearest distance lies farther are looked at again.
std::vector<Shell> first_shells(const Crystal& crystal, const std::vector<std::string>& names,
                                const std::vector<std::string>& kinds) {
  const std::vector<std::size_t> chosen = atoms_looked_at(crystal, names, kinds);
  std::vector<double> nearest(chosen.size(), 0.0);
  std::vector<Shell> shells;
  std::vector<double> distances;
  double farthest_cap = 0.0;
  const NeighbourSearch near(crystal, kFirstReach);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    distances_of(near, chosen[k], distances);
    if (distances.empty()) continue;
    nearest[k] = *std::min_element(distances.begin(), distances.end());
    const double cap = std::min(2.0 * nearest[k], kReach);
    if (cap > kFirstReach) {
      farthest_cap = std::max(farthest_cap, cap);
      continue;
    }
    shells.push_back(shell_of(chosen[k], distances, cap));
  }
  if (farthest_cap == 0.0) return shells;
  const NeighbourSearch far(crystal, farthest_cap);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (nearest[k] == 0.0 || std::min(2.0 * nearest[k], kReach) <= kFirstReach) continue;
    distances_of(far, chosen[k], distances);
    shells.push_back(shell_of(chosen[k], distances, std::min(2.0 * nearest[k], kReach)));
  }
  return shells;
}

std::string element_list(const Crystal& crystal, const std::vector<Shell>& shells, double limit) {
  std::vector<std::string> elements;
  for (const Shell& shell : shells) {
    const std::string& element = crystal.atoms[shell.atom].element;
    if (shell.beyond <= limit && std::find(elements.begin(), elements.end(), element) == elements.end()) {
      elements.push_back(element);
    }
  }
  std::string text;
  for (std::size_t k = 0; k < elements.size(); ++k) {
    text += (k == 0 ? "" : k + 1 == elements.size() ? " and " : ", ") + elements[k];
  }
  return text;
}

// The nearest neighbour distance beyond `low` of any of the atoms; `low`
// and a gap when there is none.
double next_distance_beyond(const Crystal& crystal, const std::vector<Shell>& shells, double low) {
  const NeighbourSearch search(crystal, low * kShellGapRatio);
  double next = low * kShellGapRatio;
  for (const Shell& shell : shells) {
    search.for_each_within(shell.atom, [&](double d) {
      if (d > low && d < next) next = d;
    });
  }
  return next;
}

// A round value inside (low, high): the middle to 0.01 A, else the middle.
double inside(double low, double high) {
  const double middle = (low + high) / 2.0;
  const double round = std::round(middle * 100.0) / 100.0;
  return round > low && round < high ? round : middle;
}

}  // namespace

void first_shell(std::vector<double>& distances, double cap, double& shell, double& beyond) {
  std::sort(distances.begin(), distances.end());
  shell = distances.front();
  beyond = cap;
  double widest = 0.0;
  for (std::size_t j = 0; j < distances.size() && distances[j] <= kShellWindow * distances.front(); ++j) {
    const double next = j + 1 < distances.size() ? distances[j + 1] : cap;
    const double ratio = next / distances[j];
    if (ratio >= kShellGapRatio) {
      shell = distances[j];
      beyond = next;
      return;
    }
    if (ratio > widest) {
      widest = ratio;
      shell = distances[j];
      beyond = next;
    }
  }
}

BondLimitChoice choose_bond_limit(const Crystal& crystal, const std::vector<std::string>& names,
                                  const std::vector<std::string>& kinds) {
  BondLimitChoice choice;
  const std::vector<Shell> shells = first_shells(crystal, names, kinds);
  if (shells.empty()) return choice;
  choice.atoms = static_cast<int>(shells.size());
  choice.first_shell_end = 0.0;
  choice.second_shell_start = std::numeric_limits<double>::infinity();
  for (const Shell& shell : shells) {
    choice.first_shell_end = std::max(choice.first_shell_end, shell.end);
    choice.second_shell_start = std::min(choice.second_shell_start, shell.beyond);
  }
  const double low = choice.first_shell_end;
  if (low < choice.second_shell_start) {
    const double high = choice.second_shell_start;
    choice.limit = kUsualBondLimit > low && kUsualBondLimit < high ? kUsualBondLimit : inside(low, high);
    return choice;
  }
  // The shells overlap: reach every first shell, and stop before the next
  // distance any of these atoms has beyond it.
  const double next = next_distance_beyond(crystal, shells, low);
  choice.second_shell_start = next;
  choice.limit = inside(low, next);
  choice.warning = "the first coordination shells end at up to " + decimals(low, 4) +
                   " A, beyond the start of the second shell of some " + element_list(crystal, shells, choice.limit) +
                   " atoms: the bond limit " + decimals(choice.limit, 4) +
                   " A counts some of their second neighbours as bonded; give --bond-limit to choose otherwise";
  return choice;
}

}  // namespace wsphere::companion
