// Ascending quicksort of single-precision keys, in place, carrying
// an integer companion array along. Non-recursive: an explicit stack of
// deferred segments, the longer part of every split put aside, so the stack
// never holds more than log2(count) segments. The order of equal keys is the
// one these exact steps produce, and reports rely on it.
#pragma once

#include <cstdint>
#include <utility>

#include "core/checked_array.hpp"

namespace wsphere {

// Enough for any count an int can hold.
inline constexpr int kSortStackCapacity = 31;

// Legacy name: SORTIROVKA. Sorts keys(1..count) ascending and permutes
// companions(1..count) with them; both are arrays indexed from 1 (CheckedArray,
// CheckedVector). A count below 1 leaves both untouched. Returns the greatest
// number of segments the stack held at once.
template <class Keys, class Companions>
int sort_by_w(Keys& keys, int count, Companions& companions) {
  struct Segment {
    int lower = 0;
    int upper = 0;
  };
  CheckedArray<Segment, kSortStackCapacity> stack;
  int depth = 0;
  int deepest = 0;
  const auto exchange = [&](int p, int q) {
    std::swap(keys(p), keys(q));
    std::swap(companions(p), companions(q));
  };

  int i = 1;
  int j = count;
  for (;;) {
    if (j <= i) {
      if (depth == 0) return deepest;
      i = stack(depth).lower;
      j = stack(depth).upper;
      --depth;
      continue;
    }
    // Median of three: the pivot candidate sits 53/128 of the way along.
    const int p = i + 53 * (j - i) / 128;
    float t = keys(p);
    if (!(keys(i) <= t)) {
      exchange(i, p);
      t = keys(p);
    }
    if (keys(j) < t) {
      exchange(j, p);
      t = keys(p);
      if (!(keys(i) <= t)) {
        exchange(i, p);
        t = keys(p);
      }
    }
    // Scans from both ends; keys equal to the pivot stop both and change sides.
    int l = j;
    int k = i;
    for (;;) {
      do --l; while (keys(l) > t);
      do ++k; while (keys(k) < t);
      if (k > l) break;
      exchange(k, l);
    }
    // Put the longer part aside and go on with the shorter one.
    ++depth;
    if (l - i > j - k) {
      stack(depth) = {i, l};
      i = k;
    } else {
      stack(depth) = {k, j};
      j = l;
    }
    if (depth > deepest) deepest = depth;
  }
}

}  // namespace wsphere
