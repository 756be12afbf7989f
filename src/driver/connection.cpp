#include "driver/connection.hpp"

#include <algorithm>
#include <cstring>

#include "driver/message_line.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

// The report goes out in pieces that end where the file reaches a multiple of
// this size: the system then keeps the file in large aligned blocks of memory,
// which cost it less to fill and, at the next run, to cut.
constexpr std::size_t kBlockSize = 1 << 16;

}  // namespace

char* OutputConnection::line_room(std::size_t size) {
  if (buffer_.size() < used_ + size) buffer_.resize(std::max(used_ + size, kBlockSize + 256));
  return buffer_.data() + used_;
}

void OutputConnection::commit_line(std::size_t size) {
  check_interrupt();
  if (file_.read_only()) throw Fatal(Msg::write_read_only, 2);
  if (cut_pending_) {
    cut_pending_ = false;
    if (replace_with_first_line(size)) return;
  }
  used_ += size;
  if (used_ >= kBlockSize) write_whole_blocks();
}

// The first line replaces the old report: the file is cut to the length of
// the line and the line is written at its start, so the file never holds a
// mixture of the two reports (if the cut fails, the old report stays whole).
// Cutting to the line rather than to nothing also spares the file system's
// flush-on-close of a file emptied and rewritten, which would otherwise send
// every report to the disk at once and make the next run wait for it. A device
// or pipe (output.txt linked to /dev/null, say) has nothing to cut: the line
// then stays in the buffer like any other.
bool OutputConnection::replace_with_first_line(std::size_t size) {
  if (!file_.cut_and_rewind(size)) return false;
  write_out(buffer_.data(), size);
  return true;
}

void OutputConnection::field_overflow() {
  console_.write(message_line(Msg::output_conversion, 2, path()) + "\n");
}

// Writes the buffered lines up to the last block boundary of the file and
// keeps the rest, less than a block, at the start of the buffer.
void OutputConnection::write_whole_blocks() {
  const std::size_t rest = (file_offset_ + used_) % kBlockSize;
  const std::size_t whole = used_ - rest;  // used_ is at least a block
  used_ = 0;  // after a failure nothing is written twice
  write_out(buffer_.data(), whole);
  std::memmove(buffer_.data(), buffer_.data() + whole, rest);
  used_ = rest;
}

void OutputConnection::flush() {
  const std::size_t size = used_;
  used_ = 0;
  write_out(buffer_.data(), size);
}

void OutputConnection::write_out(const char* bytes, std::size_t size) {
  std::string_view rest(bytes, size);
  while (!rest.empty() && file_.is_open()) {
    const std::size_t written = file_.write(rest.data(), rest.size());
    rest.remove_prefix(written);
    file_offset_ += written;
  }
}

void OutputConnection::close() {
  flush();
  if (!file_.close()) throw Fatal(Msg::write_failure, 2);
}

void OutputConnection::close_quietly() noexcept {
  try {
    flush();
  } catch (...) {
    // The run is already ending on a failure; that failure is the one reported.
  }
  file_.close();
}

}  // namespace wsphere
