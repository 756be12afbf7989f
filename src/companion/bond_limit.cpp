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

// The distances from atom i to every image within `reach`.
void distances_within(const NeighbourSearch& search, std::size_t i, double reach, std::vector<double>& out) {
  out.clear();
  search.for_each_near(i, [&](double d) {
    if (d > kSelfDistance && d <= reach) out.push_back(d);
  });
}

double nearest(const std::vector<double>& distances) {
  return distances.empty() ? std::numeric_limits<double>::infinity()
                           : *std::min_element(distances.begin(), distances.end());
}

struct Shell {
  std::size_t atom = 0;
  double end = 0.0;
  double beyond = 0.0;
  double cap = 0.0;  // how far its neighbours were looked at
};

// The first shells of the atoms with compliance (of all atoms when no atom
// has); atoms without a neighbour within kFirstReach are left out.
std::vector<Shell> first_shells(const Crystal& crystal, const std::vector<std::string>& names,
                                const std::vector<std::string>& kinds) {
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < crystal.atoms.size(); ++i) {
    if (has_compliance(names[i], kinds)) chosen.push_back(i);
  }
  // A structure of one element of two letters (a metal) has its one kind
  // last, which counts no atom: its atoms are looked at all the same.
  if (chosen.empty()) {
    for (std::size_t i = 0; i < crystal.atoms.size(); ++i) chosen.push_back(i);
  }
  std::vector<double> distances;
  std::vector<double> nearest_of(chosen.size());
  const NeighbourSearch near(crystal, kFirstReach);
  double widest = 0.0;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    distances_within(near, chosen[k], kFirstReach, distances);
    nearest_of[k] = nearest(distances);
    if (std::isfinite(nearest_of[k])) widest = std::max(widest, nearest_of[k]);
  }
  std::vector<Shell> shells;
  const NeighbourSearch around(crystal, 2.0 * widest);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (!std::isfinite(nearest_of[k])) continue;
    const double cap = 2.0 * nearest_of[k];
    distances_within(around, chosen[k], cap, distances);
    Shell shell{chosen[k], 0.0, 0.0, cap};
    first_shell(distances, cap, shell.end, shell.beyond);
    shells.push_back(shell);
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
  double reach = 0.0;
  for (const Shell& shell : shells) reach = std::max(reach, shell.cap);
  const NeighbourSearch around(crystal, reach);
  double next = low * kShellGapRatio;
  for (const Shell& shell : shells) {
    around.for_each_near(shell.atom, [&](double d) {
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
