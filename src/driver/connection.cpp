#include "driver/connection.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "driver/message_line.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

bool refused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

Msg open_failure_message(int error) {
  if (refused(error)) return Msg::permission_denied;
  if (error == ENAMETOOLONG) return Msg::file_name_error;
  return Msg::open_failure;
}

// The report goes out in pieces that end where the file reaches a multiple of
// this size: the system then keeps the file in large aligned blocks of memory,
// which cost it less to fill and, at the next run, to cut.
constexpr std::size_t kBlockSize = 1 << 16;

}  // namespace

void write_stderr(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

void FileHandle::open() {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ >= 0) return;
  const int error = errno;
  if (refused(error)) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) {
      read_only_ = true;
      return;
    }
  }
  throw Fatal(open_failure_message(error), unit_);
}

// A close interrupted by a signal has still released the descriptor (Linux),
// so it is not retried; only a reported I/O failure counts.
bool FileHandle::close() noexcept {
  if (fd_ < 0) return true;
  const int result = ::close(fd_);
  fd_ = -1;
  return result == 0 || errno == EINTR;
}

std::size_t InputConnection::read(char* buffer, std::size_t size) {
  for (;;) {
    check_interrupt();
    const ssize_t got = ::read(file_.fd(), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw Fatal(Msg::read_failure, 1);
  }
}

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
  struct stat status {};
  if (::fstat(file_.fd(), &status) != 0) throw Fatal(Msg::write_failure, 2);
  if (!S_ISREG(status.st_mode)) return false;
  const auto length = static_cast<off_t>(size);
  int cut = 0;
  while ((cut = ::ftruncate(file_.fd(), length)) != 0 && errno == EINTR) {
  }
  if (cut != 0 || ::lseek(file_.fd(), 0, SEEK_SET) != 0) throw Fatal(Msg::write_failure, 2);
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
    const ssize_t written = ::write(file_.fd(), rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw Fatal(Msg::write_failure, 2);
    rest.remove_prefix(static_cast<std::size_t>(written));
    file_offset_ += static_cast<std::size_t>(written);
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
