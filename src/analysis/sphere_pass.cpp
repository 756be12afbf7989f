#include "analysis/sphere_pass.hpp"

namespace wsphere {

SphereSetup sphere_setup(const AnalysisInput& input) {
  SphereSetup setup;
  setup.sphere_radius_sq =
      round_to_single(static_cast<double>(input.sphere_radius) * input.sphere_radius);
  setup.bond_limit = input.bond_limit;
  setup.initial_metric = cell_metric(input.initial_cell);
  setup.minimised_metric = cell_metric(input.minimised_cell);
  return setup;
}

}  // namespace wsphere
