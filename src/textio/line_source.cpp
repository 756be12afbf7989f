#include "textio/line_source.hpp"

namespace wsphere::textio {

bool LineSource::next_line(std::string& line) {
  std::size_t searched = 0;  // bytes after start_ already known to hold no line feed
  for (;;) {
    const std::size_t feed = buffer_.find('\n', start_ + searched);
    if (feed != std::string::npos) {
      std::size_t end = feed;
      if (end > start_ && buffer_[end - 1] == '\r') --end;
      line.assign(buffer_, start_, end - start_);
      start_ = feed + 1;
      return true;
    }
    searched = buffer_.size() - start_;
    if (!refill()) break;
  }
  if (start_ == buffer_.size()) return false;
  // The unterminated last line: kept whole, a final carriage return included.
  line.assign(buffer_, start_);
  start_ = buffer_.size();
  return true;
}

// Drops the bytes already handed out and appends the next chunk of the file.
bool LineSource::refill() {
  if (exhausted_) return false;
  buffer_.erase(0, start_);
  start_ = 0;
  char chunk[4096];
  const std::size_t count = source_.read(chunk, sizeof chunk);
  if (count == 0) {
    exhausted_ = true;
    return false;
  }
  buffer_.append(chunk, count);
  return true;
}

}  // namespace wsphere::textio
