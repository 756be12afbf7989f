// What the program asks of the process and its system besides the files:
// full path names, the standard error stream, exit statuses and the storage
// of a run. Chosen at build time: posix/system.cpp or windows/system.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/condition.hpp"

namespace wsphere {

// `name` resolved against the working directory, as messages print it.
std::string full_path(std::string_view name);

// Writes the bytes to the standard error stream as they are, retrying
// interrupted and partial writes.
void write_stderr(std::string_view text);

// Exit statuses. A severe condition ends with its condition value (on POSIX
// systems, whose statuses keep eight bits, that is the message number); the
// square root of a bad value with 3.
int severe_status(Msg msg);
inline constexpr int kMathErrorStatus = 3;
// The status of a run ended by a console interrupt (see interrupt.hpp).
int interrupt_status(int event);

// Readies the heap for a run, first thing in the program (see the POSIX
// layer; elsewhere it does nothing).
void prepare_heap();

}  // namespace wsphere
