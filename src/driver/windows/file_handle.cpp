// FileHandle on Windows: a file handle of the Win32 API, with the bytes read
// and written as they are (no text-mode translation of line ends).
#include <windows.h>

#include <algorithm>

#include "driver/file_handle.hpp"
#include "driver/interrupt.hpp"

namespace wsphere {

namespace {

// The largest transfer of one ReadFile or WriteFile call.
constexpr std::size_t kLargestTransfer = 1u << 30;

HANDLE native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool refused(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT; }

// Other processes may read, write, rename or delete the file while it is open,
// as they may on POSIX systems.
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE open_native(const std::string& path, DWORD access, DWORD disposition) {
  return ::CreateFileA(path.c_str(), access, kSharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Windows refuses to open a folder as a file with "access denied"; the
// program calls that an open failure, as it does on other systems.
bool is_folder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

Msg open_failure_message(unsigned long error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return Msg::permission_denied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return Msg::file_name_error;
    default:
      return Msg::open_failure;
  }
}

void FileHandle::open() {
  HANDLE handle = open_native(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  DWORD error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
  if (refused(error)) {
    if (is_folder(path_)) throw Fatal(Msg::open_failure, unit_);
    handle = open_native(path_, GENERIC_READ, OPEN_EXISTING);
    read_only_ = handle != INVALID_HANDLE_VALUE;
  }
  if (handle == INVALID_HANDLE_VALUE) throw Fatal(open_failure_message(error), unit_);
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

bool FileHandle::close() noexcept {
  if (handle_ == kClosed) return true;
  const BOOL closed = ::CloseHandle(native(handle_));
  handle_ = kClosed;
  return closed != 0;
}

// A read that a console event cancelled (see windows/console_events.cpp) ends
// the wait; the end of a pipe is the end of the file.
std::size_t FileHandle::read(char* buffer, std::size_t size) {
  for (;;) {
    check_interrupt();
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
    if (::ReadFile(native(handle_), buffer, wanted, &got, nullptr)) return got;
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    if (error != ERROR_OPERATION_ABORTED) throw Fatal(Msg::read_failure, unit_);
  }
}

// A write that a console event cancelled is made again: the event is acted
// on before the next line, as on other systems.
std::size_t FileHandle::write(const char* bytes, std::size_t size) {
  for (;;) {
    DWORD written = 0;
    const auto wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
    if (::WriteFile(native(handle_), bytes, wanted, &written, nullptr)) {
      if (written > 0 || !waiting_) return written;  // 0: a pipe that stopped waiting is full
      continue;
    }
    if (::GetLastError() != ERROR_OPERATION_ABORTED) throw Fatal(Msg::write_failure, unit_);
    check_interrupt();  // the console handler cancelled a write held up by a pipe
  }
}

// Only a pipe can hold a write up: it stops waiting for its reader.
void FileHandle::stop_waiting() noexcept {
  if (::GetFileType(native(handle_)) != FILE_TYPE_PIPE) return;
  DWORD mode = PIPE_NOWAIT;
  if (::SetNamedPipeHandleState(native(handle_), &mode, nullptr, nullptr)) waiting_ = false;
}

bool FileHandle::cut_and_rewind(std::size_t length) {
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  const LARGE_INTEGER start{};
  if (!::SetFilePointerEx(native(handle_), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(native(handle_)) ||
      !::SetFilePointerEx(native(handle_), start, nullptr, FILE_BEGIN)) {
    throw Fatal(Msg::write_failure, unit_);
  }
  return true;
}

}  // namespace wsphere
