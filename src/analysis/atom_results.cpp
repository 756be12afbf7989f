#include "analysis/atom_results.hpp"

#include <cmath>

#include "core/single.hpp"

namespace wsphere {

float w_value(const CentreSums& sums) {
  return round_to_single(static_cast<double>(sums.change_sq_sum) / sums.member_count);
}

float mean_bond(const CentreSums& sums) {
  return round_to_single(static_cast<double>(sums.bond_sum) / sums.bond_count);
}

float compliance_scale(float reference1, float reference2) {
  return round_to_single(1.0 / (static_cast<double>(reference1) - reference2));
}

float compliance_percent(float mean_bond, float reference, float scale) {
  return round_to_single(
      std::fabs((static_cast<double>(mean_bond) - reference) * scale) * 100.0);
}

KindStatistics kind_statistics(const float* w, int n) {
  float sum = 0.0f;
  for (int l = 0; l < n; ++l) sum = round_to_single(static_cast<double>(sum) + w[l]);
  const float mean = round_to_single(static_cast<double>(sum) / n);
  float s = 0.0f;
  for (int l = 0; l < n; ++l) {
    const double deviation = static_cast<double>(mean) - w[l];
    s = round_to_single(s + deviation * deviation);
  }
  // For one member the quotient is 0/0: the sigma is then reported as NaN
  // rather than ending the run. Without members it is 0/-1, giving -0.0.
  const float sigma = round_to_single(std::sqrt(static_cast<double>(s) / (n - 1)));
  return {mean, sigma};
}

}  // namespace wsphere
