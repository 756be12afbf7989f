// FileHandle on a POSIX system: a file descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "driver/file_handle.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

bool refused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

Msg open_failure_message(unsigned long error) {
  if (refused(static_cast<int>(error))) return Msg::permission_denied;
  if (error == ENAMETOOLONG) return Msg::file_name_error;
  return Msg::open_failure;
}

void FileHandle::open() {
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  const int error = errno;
  if (fd < 0 && refused(error)) {
    fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    read_only_ = fd >= 0;
  }
  if (fd < 0) throw Fatal(open_failure_message(static_cast<unsigned long>(error)), unit_);
  handle_ = fd;
}

// A close interrupted by a signal has still released the descriptor (Linux),
// so it is not retried; only a reported I/O failure counts.
bool FileHandle::close() noexcept {
  if (handle_ == kClosed) return true;
  const int result = ::close(descriptor(handle_));
  handle_ = kClosed;
  return result == 0 || errno == EINTR;
}

// Retries reads interrupted by a signal that the run does not act on; a
// console interrupt (the handlers leave out SA_RESTART) ends the wait.
std::size_t FileHandle::read(char* buffer, std::size_t size) {
  for (;;) {
    check_interrupt();
    const ssize_t got = ::read(descriptor(handle_), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw Fatal(Msg::read_failure, unit_);
  }
}

// A write held up by a pipe that nobody empties returns with EINTR when a
// console interrupt comes (the handlers leave out SA_RESTART): the interrupt
// ends the wait, other signals do not.
std::size_t FileHandle::write(const char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t written = ::write(descriptor(handle_), bytes, size);
    if (written > 0) return static_cast<std::size_t>(written);
    if (written < 0 && errno == EINTR) {
      check_interrupt();
      continue;
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;  // after stop_waiting
    throw Fatal(Msg::write_failure, unit_);
  }
}

void FileHandle::stop_waiting() noexcept {
  const int fd = descriptor(handle_);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

bool FileHandle::cut_and_rewind(std::size_t length) {
  struct stat status {};
  if (::fstat(descriptor(handle_), &status) != 0) throw Fatal(Msg::write_failure, unit_);
  if (!S_ISREG(status.st_mode)) return false;
  int cut = 0;
  while ((cut = ::ftruncate(descriptor(handle_), static_cast<off_t>(length))) != 0 && errno == EINTR) {
  }
  if (cut != 0 || ::lseek(descriptor(handle_), 0, SEEK_SET) != 0) throw Fatal(Msg::write_failure, unit_);
  return true;
}

}  // namespace wsphere
