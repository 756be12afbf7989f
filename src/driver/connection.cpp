#include "driver/connection.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "driver/message_line.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

// The report goes out in pieces that end where the file reaches a multiple of
// this size: the system then keeps the file in large aligned blocks of memory,
// which cost it less to fill and, at the next run, to cut.
constexpr std::size_t kBlockSize = 1 << 16;

// How long an interrupted run waits for a pipe to take the rest of a line
// that it had begun to write.
constexpr auto kLineEndPatience = std::chrono::seconds(2);

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
    regular_file_ = replace_with_first_line(size);
    if (regular_file_) return;
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
// keeps the rest, less than a block, at the start of the buffer. A pipe or a
// device gets every buffered line: its pieces end on a line end.
void OutputConnection::write_whole_blocks() {
  const std::size_t rest = regular_file_ ? (file_offset_ + used_) % kBlockSize : 0;
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
    std::size_t written = 0;
    try {
      if (rest.data() != bytes) check_interrupt();  // an interrupt cuts a write short
      written = file_.write(rest.data(), rest.size());
    } catch (const Interrupted&) {
      if (rest.data() != bytes && rest.data()[-1] != '\n') finish_line(rest);
      throw;
    }
    rest.remove_prefix(written);
    file_offset_ += written;
  }
}

// An interrupt came while a pipe held up the rest of a line: the line is
// finished if the pipe takes it soon, so that a reader who comes back finds
// whole lines. Nothing after it is written.
void OutputConnection::finish_line(std::string_view rest) noexcept {
  std::string_view line = rest.substr(0, rest.find('\n') + 1);
  const auto deadline = std::chrono::steady_clock::now() + kLineEndPatience;
  try {
    file_.stop_waiting();
    while (!line.empty() && std::chrono::steady_clock::now() < deadline) {
      const std::size_t written = file_.write(line.data(), line.size());
      if (written == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      line.remove_prefix(written);
    }
  } catch (...) {
    // The interrupt is what the run reports.
  }
}

void OutputConnection::close() {
  flush();
  if (!file_.close()) throw Fatal(Msg::write_failure, 2);
}

// After an interrupt, a pipe or a device gets no more lines: its reader may
// have stalled, and it must not hold up the end of the run. A regular file
// never waits and gets every whole line.
void OutputConnection::close_quietly() noexcept {
  try {
    if (interrupt_pending() && !regular_file_) used_ = 0;
    flush();
  } catch (...) {
    // The run is already ending on a failure; that failure is the one reported.
  }
  file_.close();
}

}  // namespace wsphere
