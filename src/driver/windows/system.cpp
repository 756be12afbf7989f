// The process and its system on Windows: full path names as Windows writes
// them, the standard error handle and 32-bit condition values as statuses.
#include <windows.h>

#include "driver/system.hpp"

namespace wsphere {

namespace {

// The condition value of a severe condition: severity bits 11, then the
// message number in the low sixteen bits.
constexpr unsigned long kSevereCondition = 0xC0000000UL;
// The status Windows gives a process that control-C ended.
constexpr unsigned long kControlCExit = 0xC000013AUL;

}  // namespace

// GetFullPathName resolves the name against the working directory of the
// process: drive letter, backslashes, and a name longer than the API takes
// left as given (the open then rejects it).
std::string full_path(std::string_view name) {
  const std::string relative(name);
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD size = ::GetFullPathNameA(relative.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
    if (size == 0) return relative;
    if (size < path.size()) {
      path.resize(size);
      return path;
    }
    path.resize(size);
  }
}

void write_stderr(std::string_view text) {
  const HANDLE stream = ::GetStdHandle(STD_ERROR_HANDLE);
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

// The status is the DWORD that GetExitCodeProcess returns; main returns it as
// an int, which keeps its 32 bits.
int severe_status(Msg msg) {
  return static_cast<int>(kSevereCondition + static_cast<unsigned long>(msg));
}

// control-BREAK ends with 1 and window-CLOSE with 2, their event numbers;
// control-C, event 0, with the status of a process that control-C ended,
// so that a script never takes an interrupted run for a finished one.
int interrupt_status(int event) {
  return event == CTRL_C_EVENT ? static_cast<int>(kControlCExit) : event;
}

void prepare_heap() {}

}  // namespace wsphere
