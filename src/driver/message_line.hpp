// The message lines of the run-time conditions (core/condition.hpp), which the
// top of the program prints before it ends the run with the matching status.
#pragma once

#include <string>
#include <string_view>

#include "core/condition.hpp"

namespace wsphere {

enum class Severity { error, severe };

struct ConditionInfo {
  Severity severity;
  std::string_view text;  // with %d for the unit and %s for the path or event
};

// The table of conditions: severity and message text of each message number.
const ConditionInfo& condition_info(Msg msg);

// The message line of a condition, without its line end, for example
// "runerr: severe (24): end-of-file during read, unit 1, file /tmp/input.txt".
// `unit` and `subject` fill the %d and %s of the text (subject is the full path
// of the file, or the event name of message 200).
std::string message_line(Msg msg, int unit, std::string_view subject);

}  // namespace wsphere
