// Cuts the bytes of an input file into lines, one line at a time, asking the
// file for more bytes only when the next line is not yet complete.
#pragma once

#include <cstddef>
#include <string>

#include "textio/byte_source.hpp"

namespace wsphere::textio {

// A line is the bytes up to a line feed; a carriage return directly before the
// line feed is dropped, any other carriage return is kept. Bytes after the last
// line feed form one more line, so a file whose last line lacks its line feed
// is still read completely.
class LineSource {
 public:
  explicit LineSource(ByteSource& source) : source_(source) {}

  // Puts the next line into `line`; returns false when the file has no more.
  bool next_line(std::string& line);

 private:
  bool refill();

  ByteSource& source_;
  std::string buffer_;
  std::size_t start_ = 0;  // first byte of `buffer_` not yet handed out
  bool exhausted_ = false;
};

}  // namespace wsphere::textio
