// A fixed-capacity array indexed from 1 whose every access is checked against
// its bounds; a subscript outside them raises the bounds condition (161)
// before any element is touched.
#pragma once

#include <array>
#include <cstddef>

#include "core/condition.hpp"

namespace wsphere {

template <class T, int Capacity>
class CheckedArray {
  static_assert(Capacity >= 1);

 public:
  static constexpr int capacity = Capacity;

  T& operator()(int index) { return data_[offset(index)]; }
  const T& operator()(int index) const { return data_[offset(index)]; }

  // Raises the bounds condition unless `index` lies in 1..Capacity.
  static void check(int index) { static_cast<void>(offset(index)); }

  // Unchecked view of entries 1..count for loops whose bounds were checked once.
  T* data() { return data_.data(); }
  const T* data() const { return data_.data(); }

 private:
  static std::size_t offset(int index) {
    if (index < 1 || index > Capacity) throw Fatal(Msg::bounds_exceeded);
    return static_cast<std::size_t>(index - 1);
  }

  std::array<T, Capacity> data_{};
};

}  // namespace wsphere
