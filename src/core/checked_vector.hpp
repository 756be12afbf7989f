// An array indexed from 1 like CheckedArray, whose size is set at run time:
// the analysis keeps its per-atom values in these, sized to the structure.
// A subscript outside 1..size raises the bounds condition (161).
#pragma once

#include <cstddef>
#include <vector>

#include "core/condition.hpp"

namespace wsphere {

template <class T>
class CheckedVector {
 public:
  // Entries 1..count, each a value-initialised T.
  void assign(int count) { data_.assign(count > 0 ? static_cast<std::size_t>(count) : 0, T{}); }
  int size() const { return static_cast<int>(data_.size()); }

  T& operator()(int index) { return data_[offset(index)]; }
  const T& operator()(int index) const { return data_[offset(index)]; }

  // Unchecked view of entries 1..size.
  T* data() { return data_.data(); }
  const T* data() const { return data_.data(); }

 private:
  std::size_t offset(int index) const {
    if (index < 1 || index > size()) throw Fatal(Msg::bounds_exceeded);
    return static_cast<std::size_t>(index - 1);
  }

  std::vector<T> data_;
};

}  // namespace wsphere
