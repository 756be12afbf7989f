// An open file of one unit: the program's one hold on a file of the system.
// The system calls behind it are chosen at build time: posix/file_handle.cpp
// or windows/file_handle.cpp; connection.cpp builds the units on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/condition.hpp"

namespace wsphere {

class FileHandle {
 public:
  FileHandle(int unit, std::string full_path) : unit_(unit), path_(std::move(full_path)) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { close(); }

  // Opens the file for reading and writing, creating it empty if it does not
  // exist; where writing is refused, opens it for reading only. Raises Fatal
  // with 9 (access refused even for reading), 43 (name rejected) or 30 (other).
  void open();
  // Releases the file; returns false when the system reports a failure.
  bool close() noexcept;

  // Reads at most `size` bytes; 0 at the end of the file. Raises Interrupted
  // for a console interrupt that came while it waited, Fatal 39 on failure.
  std::size_t read(char* buffer, std::size_t size);
  // Writes at least one of the `size` bytes and returns how many; raises
  // Fatal 38 on failure and Interrupted for a console interrupt that came
  // while it waited for a pipe or a device to take the bytes.
  std::size_t write(const char* bytes, std::size_t size);
  // From now on a write that would have to wait for a pipe or a device writes
  // nothing and returns 0 instead. Regular files never wait. Open files only.
  void stop_waiting() noexcept;
  // Sets the end of the file at `length` and the position at its start.
  // Returns false, touching nothing, where the file is no regular file (a
  // device or a pipe); raises Fatal 38 when the system refuses.
  bool cut_and_rewind(std::size_t length);

  int unit() const { return unit_; }
  const std::string& path() const { return path_; }
  bool is_open() const { return handle_ != kClosed; }
  bool read_only() const { return read_only_; }

 private:
  // A descriptor (POSIX) or a handle (Windows); -1 is neither.
  static constexpr std::intptr_t kClosed = -1;

  int unit_;
  std::string path_;
  std::intptr_t handle_ = kClosed;
  bool read_only_ = false;
#ifdef _WIN32
  bool waiting_ = true;  // false after stop_waiting: a pipe's write may then take nothing
#endif
};

// The message of a failed open from the system's error code (errno on POSIX,
// GetLastError on Windows): 9 for a refusal, 43 for a rejected name, 30 else.
Msg open_failure_message(unsigned long error);

}  // namespace wsphere
