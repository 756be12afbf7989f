#include "textio/byte_source.hpp"

#include <algorithm>
#include <cstring>

namespace wsphere::textio {

std::size_t MemorySource::read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

}  // namespace wsphere::textio
