// The ordering of W values: exact permutations, equal keys included.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/sort_by_w.hpp"

namespace wsphere {
namespace {

constexpr int kCap = 1000;

struct SortCase {
  const char* name;
  std::vector<float> keys;
  std::vector<float> sorted;
  std::vector<int> companions;  // companions after the sort, starting from 1..n
};

struct Sorted {
  std::vector<float> keys;
  std::vector<int> companions;
  int depth;
};

Sorted sort(const std::vector<float>& input) {
  CheckedArray<float, kCap> keys;
  CheckedArray<std::int32_t, kCap> companions;
  const int n = static_cast<int>(input.size());
  for (int i = 1; i <= n; ++i) {
    keys(i) = input[i - 1];
    companions(i) = i;
  }
  Sorted result;
  result.depth = sort_by_w(keys, n, companions);
  for (int i = 1; i <= n; ++i) {
    result.keys.push_back(keys(i));
    result.companions.push_back(companions(i));
  }
  return result;
}

TEST(Sortirovka, GivesTheseExactPermutations) {
  const SortCase cases[] = {
      {"one", {7.0f}, {7.0f}, {1}},
      {"two_swapped", {2, 1}, {1, 2}, {2, 1}},
      {"ascending", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
      {"descending", {5, 4, 3, 2, 1}, {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}},
      {"mixed_ties", {3, 1, 2, 1, 3}, {1, 1, 2, 3, 3}, {2, 4, 3, 1, 5}},
      {"five_equal", {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {1, 4, 3, 2, 5}},
      {"four_equal", {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 3, 2, 4}},
      {"three_equal", {1, 1, 1}, {1, 1, 1}, {1, 2, 3}},
      {"two_equal", {1, 1}, {1, 1}, {1, 2}},
      {"pairs", {0.5f, 0.5f, 0.25f, 0.25f}, {0.25f, 0.25f, 0.5f, 0.5f}, {4, 3, 1, 2}},
  };
  for (const SortCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Sorted result = sort(c.keys);
    EXPECT_EQ(result.keys, c.sorted);
    EXPECT_EQ(result.companions, c.companions);
  }
}

TEST(Sortirovka, CountBelowOneTouchesNothing) {
  CheckedArray<float, 4> keys;
  CheckedArray<std::int32_t, 4> companions;
  keys(1) = 3.0f;
  keys(2) = 1.0f;
  companions(1) = 9;
  for (int count : {0, -5}) {
    sort_by_w(keys, count, companions);
    EXPECT_EQ(keys(1), 3.0f);
    EXPECT_EQ(keys(2), 1.0f);
    EXPECT_EQ(companions(1), 9);
  }
}

// Any order of 1000 keys: ascending result, a permutation carried along, and a
// stack never deeper than log2(1000).
TEST(Sortirovka, ThousandKeysStayWithinNineSegments) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> small(0, 40);
  std::uniform_real_distribution<float> wide(0.0f, 1.0f);
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<float> keys(1000);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      switch (trial % 4) {
        case 0: keys[i] = wide(random); break;
        case 1: keys[i] = static_cast<float>(small(random)); break;  // many ties
        case 2: keys[i] = static_cast<float>(i); break;
        default: keys[i] = static_cast<float>(1000 - i); break;
      }
    }
    const Sorted result = sort(keys);
    EXPECT_LE(result.depth, 9);
    EXPECT_TRUE(std::is_sorted(result.keys.begin(), result.keys.end()));
    for (std::size_t q = 0; q < keys.size(); ++q) {
      ASSERT_EQ(result.keys[q], keys[result.companions[q] - 1]);
    }
  }
}

TEST(Sortirovka, NotANumberKeysStillEndWithEveryCompanionOnce) {
  const float nan = std::nanf("");
  const Sorted result = sort({3, nan, 1, nan, 2, 0, nan});
  std::vector<int> seen = result.companions;
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

}  // namespace
}  // namespace wsphere
