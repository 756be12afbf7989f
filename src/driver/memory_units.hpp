// Units and console held in memory: a run on these touches no file and no
// process state, so tests and the fuzzer can make any number of runs in one
// process.
#pragma once

#include <string>
#include <string_view>

#include "driver/units.hpp"

namespace wsphere {

class MemoryConsole : public Console {
 public:
  void write(std::string_view text) override { text_.append(text); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Unit 1 over a copy of the input bytes.
class MemoryInput : public InputUnit {
 public:
  MemoryInput(std::string bytes, std::string full_path)
      : source_(std::move(bytes)), path_(std::move(full_path)) {}

  void open() override {}
  void close() noexcept override {}
  const std::string& path() const override { return path_; }
  std::size_t read(char* buffer, std::size_t size) override { return source_.read(buffer, size); }

 private:
  textio::MemorySource source_;
  std::string path_;
};

// Unit 2 into a string.
class MemoryOutput : public textio::WholeLineSink<OutputUnit> {
 public:
  MemoryOutput(std::string full_path, Console& console)
      : path_(std::move(full_path)), console_(console) {}

  void open() override {}
  void put_line(std::string_view line_with_crlf) override { report_.append(line_with_crlf); }
  void field_overflow() override;
  void close() override {}
  void close_quietly() noexcept override {}
  const std::string& path() const override { return path_; }

  const std::string& report() const { return report_; }

 private:
  std::string path_;
  Console& console_;
  std::string report_;
};

}  // namespace wsphere
