// Where the bytes of an input file come from: the file itself in the program,
// bytes in memory in tests and in-process runs.
#pragma once

#include <cstddef>
#include <string>

namespace wsphere::textio {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `buffer`; returns 0 at the end of the file.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// A ByteSource over bytes in memory (for tests and for callers that hold the text).
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};

}  // namespace wsphere::textio
