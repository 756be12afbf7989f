// The conditions that end a run, as exceptions. They are raised where the
// trouble arises, at any layer, and caught once at the top of the program,
// which turns them into message lines and exit statuses (driver/message_line.hpp).
#pragma once

#include <exception>

namespace wsphere {

// Message numbers of the run-time conditions.
enum class Msg : int {
  permission_denied = 9,   // a file cannot be opened: access denied, read-only medium
  open_failure = 30,       // a file cannot be opened for another reason
  end_of_file = 24,        // a read needs a line that input.txt does not have
  write_failure = 38,      // the report could not be written (disk full, I/O error)
  read_failure = 39,       // input.txt could not be read (I/O error)
  out_of_memory = 41,      // the system refused memory (a line of input too long for it)
  file_name_error = 43,    // the file system rejects the name
  write_read_only = 47,    // the first report line goes to a read-only output.txt
  syntax_error = 59,       // a token not acceptable for its item
  output_conversion = 63,  // a number printed as asterisks (not fatal)
  input_conversion = 64,   // a numeric token that is no number of its item's type
  bounds_exceeded = 161,   // a subscript outside its array
  aborting = 200,          // console interrupt (not fatal by itself)
};

// A severe condition: ends the run. Raised where it arises, with the unit it
// concerns (0 when it concerns no file); the top of the program adds the path.
class Fatal : public std::exception {
 public:
  explicit Fatal(Msg msg, int unit = 0) : msg_(msg), unit_(unit) {}
  Msg msg() const { return msg_; }
  int unit() const { return unit_; }
  const char* what() const noexcept override { return "wsphere: fatal run-time condition"; }

 private:
  Msg msg_;
  int unit_;
};

// The square root of a negative number or a not-a-number: ends the run by the
// math-library path (three lines on standard error, exit status 3).
class MathDomainError : public std::exception {
 public:
  const char* what() const noexcept override { return "wsphere: sqrt domain error"; }
};

// A console interrupt seen at a safe point. The event is the system's number
// of it: a signal on POSIX, a console control event on Windows.
class Interrupted : public std::exception {
 public:
  explicit Interrupted(int event) : event_(event) {}
  int event() const { return event_; }
  const char* what() const noexcept override { return "wsphere: interrupted"; }

 private:
  int event_;
};

}  // namespace wsphere
