#include "windows_support.hpp"

#include <stdexcept>

namespace wsphere::windows_testing {

namespace {

std::string windows_path(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void remove_tree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        remove_tree(path);
      } else {
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(folder.c_str());
}

// Reads a pipe to its end.
std::string drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

}  // namespace

TempFolder::TempFolder() {
  char base[MAX_PATH + 1];
  const DWORD size = ::GetTempPathA(sizeof base, base);
  if (size == 0 || size > MAX_PATH) throw std::runtime_error("no temporary folder");
  static unsigned counter = 0;
  for (;;) {
    path_ = std::string(base) + "wsphere-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
  }
  // The full path as the system resolves it (no 8.3 short names).
  char full[4096];
  if (::GetFullPathNameA(path_.c_str(), sizeof full, full, nullptr) > 0) path_ = full;
}

TempFolder::~TempFolder() { remove_tree(path_); }

std::string read_file(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + path);
  const std::string bytes = drain(file);
  ::CloseHandle(file);
  return bytes;
}

void write_file(const std::string& path, std::string_view bytes) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error("short write to " + path);
}

bool exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void set_read_only(const std::string& path, bool read_only) {
  if (!::SetFileAttributesA(path.c_str(), read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL)) {
    throw std::runtime_error("cannot set the attributes of " + path);
  }
}

bool read_only_attribute_is_ignored() {
  TempFolder folder;
  const std::string probe = folder / "probe.txt";
  write_file(probe, "x");
  set_read_only(probe, true);
  const HANDLE file = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

Outcome run_process(const std::string& program, const std::string& folder, const std::string& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE err_read = nullptr;
  HANDLE err_write = nullptr;
  if (!::CreatePipe(&err_read, &err_write, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
  ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  const HANDLE null_in = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = err_write;
  startup.hStdError = err_write;
  std::string command = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  PROCESS_INFORMATION process{};
  // Wine now and then refuses a start with ERROR_INTERNAL_ERROR; a second try
  // starts the same program normally.
  BOOL started = FALSE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(100);
    started = ::CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               folder.c_str(), &startup, &process);
    error = started ? 0 : ::GetLastError();
    if (error != ERROR_INTERNAL_ERROR) break;
  }
  ::CloseHandle(err_write);
  ::CloseHandle(null_in);
  if (!started) {
    ::CloseHandle(err_read);
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(error));
  }
  Outcome outcome;
  outcome.err = drain(err_read);
  ::CloseHandle(err_read);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::GetExitCodeProcess(process.hProcess, &outcome.status);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return outcome;
}

std::string examples_folder() { return windows_path(WSPHERE_EXAMPLES); }
std::string test_data_folder() { return windows_path(WSPHERE_TEST_DATA); }
std::string wsphere_exe() { return windows_path(WSPHERE_EXE); }
std::string event_probe_exe() { return windows_path(WSPHERE_EVENT_PROBE_EXE); }

std::string file_message(int number, std::string_view text, int unit, const std::string& path) {
  return "runerr: severe (" + std::to_string(number) + "): " + std::string(text) + ", unit " +
         std::to_string(unit) + ", file " + path + "\n";
}

}  // namespace wsphere::windows_testing
