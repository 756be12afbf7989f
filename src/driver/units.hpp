// What a run reads from, writes to and prints on: unit 1 (the input), unit 2
// (the report) and the console. Files and memory both stand behind these, so a
// whole run can be made on bytes held in memory.
#pragma once

#include <string>
#include <string_view>

#include "textio/free_form_reader.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

// Where message lines go (standard error for a real run).
class Console {
 public:
  virtual ~Console() = default;
  virtual void write(std::string_view text) = 0;
};

// Unit 1.
class InputUnit : public textio::ByteSource {
 public:
  // Raises Fatal when the input cannot be opened.
  virtual void open() = 0;
  // Releases the input; safe to call twice. Never throws.
  virtual void close() noexcept = 0;
  // Full path name, as messages print it.
  virtual const std::string& path() const = 0;
};

// Unit 2. The first line written replaces whatever the report held before.
class OutputUnit : public textio::LineSink {
 public:
  virtual void open() = 0;
  // Writes out every line put so far and releases the report; raises Fatal 38
  // when any of it fails, so that a short report never passes for a whole one.
  virtual void close() = 0;
  // The same on a run that is already ending on a failure: keeps what it can
  // and never throws, since the first failure is the one reported.
  virtual void close_quietly() noexcept = 0;
  virtual const std::string& path() const = 0;
};

}  // namespace wsphere
