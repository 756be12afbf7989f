#include "driver/message_line.hpp"

#include <array>
#include <stdexcept>

namespace wsphere {

namespace {

struct Entry {
  Msg msg;
  ConditionInfo info;
};

constexpr std::array kTable{
    Entry{Msg::end_of_file, {Severity::severe, "end-of-file during read, unit %d, file %s"}},
    Entry{Msg::syntax_error, {Severity::severe, "list-directed I/O syntax error, unit %d, file %s"}},
    Entry{Msg::input_conversion, {Severity::severe, "input conversion error, unit %d, file %s"}},
    Entry{Msg::permission_denied, {Severity::severe, "permission to access file denied, unit %d, file %s"}},
    Entry{Msg::open_failure, {Severity::severe, "open failure, unit %d, file %s"}},
    Entry{Msg::write_read_only, {Severity::severe, "write to READONLY file, unit %d, file %s"}},
    Entry{Msg::file_name_error, {Severity::severe, "file name specification error, unit %d, file %s"}},
    Entry{Msg::write_failure, {Severity::severe, "error during write, unit %d, file %s"}},
    Entry{Msg::read_failure, {Severity::severe, "error during read, unit %d, file %s"}},
    Entry{Msg::out_of_memory, {Severity::severe, "insufficient virtual memory"}},
    Entry{Msg::bounds_exceeded, {Severity::severe, "Program Exception - array bounds exceeded"}},
    Entry{Msg::output_conversion, {Severity::error, "output conversion error, unit %d, file %s"}},
    Entry{Msg::aborting, {Severity::error, "program aborting due to %s event"}},
};

}  // namespace

const ConditionInfo& condition_info(Msg msg) {
  for (const Entry& entry : kTable) {
    if (entry.msg == msg) return entry.info;
  }
  throw std::logic_error("unknown message number");
}

std::string message_line(Msg msg, int unit, std::string_view subject) {
  const ConditionInfo& info = condition_info(msg);
  std::string line = info.severity == Severity::severe ? "runerr: severe (" : "runerr: error (";
  line += std::to_string(static_cast<int>(msg));
  line += "): ";
  const std::string_view text = info.text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 's')) {
      line += text[i + 1] == 'd' ? std::to_string(unit) : std::string(subject);
      ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

}  // namespace wsphere
