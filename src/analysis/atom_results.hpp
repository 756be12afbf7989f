// W and compliance of one atom, and the statistics of a kind.
#pragma once

#include "analysis/sphere_pass.hpp"

namespace wsphere {

// Mean squared distance change over the sphere members (NaN without members).
float w_value(const CentreSums& sums);

// Mean minimised distance to the bonded members (NaN without bonded members).
float mean_bond(const CentreSums& sums);

// 1 / (reference of kind 1 - reference of kind 2).
float compliance_scale(float reference1, float reference2);

// |(mean_bond - reference) · scale| · 100: where the atom's mean bonded distance
// lies between the two reference distances, in percent.
float compliance_percent(float mean_bond, float reference, float scale);

struct KindStatistics {
  float mean = 0.0f;
  float sigma = 0.0f;
};

// Mean and standard deviation of w[0 .. n-1]. A kind without members gives a
// NaN mean; a kind with one member, or with a NaN among its values, gives a
// NaN sigma.
KindStatistics kind_statistics(const float* w, int n);

}  // namespace wsphere
