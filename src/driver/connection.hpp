// The file connections of a run: unit 1 reads input.txt, unit 2 writes
// output.txt. Both are opened "open if it exists, create it if not", fall back
// to read-only access when writing is refused, and carry the full path that
// messages print.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/file_handle.hpp"
#include "driver/system.hpp"
#include "driver/units.hpp"

namespace wsphere {

// Unit 1: the bytes of input.txt, read on demand.
class InputConnection : public InputUnit {
 public:
  explicit InputConnection(std::string full_path) : file_(1, std::move(full_path)) {}

  void open() override { file_.open(); }
  void close() noexcept override { file_.close(); }
  const std::string& path() const override { return file_.path(); }
  // Raises Interrupted for a console interrupt and Fatal 39 for a failed read.
  std::size_t read(char* buffer, std::size_t size) override { return file_.read(buffer, size); }

 private:
  FileHandle file_;
};

// Unit 2: the report, buffered. A run that writes nothing leaves the file as
// it was.
class OutputConnection : public OutputUnit {
 public:
  OutputConnection(std::string full_path, Console& console)
      : file_(2, std::move(full_path)), console_(console) {}
  ~OutputConnection() override { close_quietly(); }

  void open() override { file_.open(); }
  // Room at the end of the buffer.
  char* line_room(std::size_t size) override;
  // Raises Fatal 47 for a read-only file and Interrupted for a pending interrupt.
  void commit_line(std::size_t size) override;
  // Prints the message-63 line; the run goes on.
  void field_overflow() override;
  void close() override;
  void close_quietly() noexcept override;
  const std::string& path() const override { return file_.path(); }

 private:
  // Returns false where the file cannot be cut (not a regular file).
  bool replace_with_first_line(std::size_t size);
  void write_whole_blocks();
  void flush();
  void write_out(const char* bytes, std::size_t size);
  void finish_line(std::string_view rest) noexcept;

  FileHandle file_;
  Console& console_;
  // Lines committed but not yet written fill the first `used_` bytes.
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::size_t file_offset_ = 0;  // where the next write lands
  bool cut_pending_ = true;
  bool regular_file_ = false;  // known at the first line
};

class StderrConsole : public Console {
 public:
  void write(std::string_view text) override { write_stderr(text); }
};

}  // namespace wsphere
