// The two file connections of a run: unit 1 reads input.txt, unit 2 writes
// output.txt. Both are opened "open if it exists, create it if not", fall back
// to read-only access when writing is refused, and carry the full path that
// messages print.
#pragma once

#include <string>
#include <string_view>

#include "textio/free_form_reader.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

class Connection {
 public:
  Connection(int unit, std::string full_path) : unit_(unit), path_(std::move(full_path)) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // Opens the file, creating it empty if it does not exist. Raises Fatal with
  // 9 (access refused even for reading), 43 (name rejected) or 30 (other).
  void open();
  // Releases the file; safe to call twice and on a connection never opened.
  void close() noexcept;

  int unit() const { return unit_; }
  const std::string& path() const { return path_; }
  bool is_open() const { return fd_ >= 0; }
  bool read_only() const { return read_only_; }

 protected:
  int fd() const { return fd_; }

 private:
  int unit_;
  std::string path_;
  int fd_ = -1;
  bool read_only_ = false;
};

// Unit 1: the bytes of input.txt, read on demand.
class InputConnection : public Connection, public textio::ByteSource {
 public:
  using Connection::Connection;
  // Retries reads interrupted by a signal that the run does not act on;
  // raises Interrupted for a console interrupt.
  std::size_t read(char* buffer, std::size_t size) override;
};

// Unit 2: the report. The first line written replaces whatever the file held;
// a run that writes nothing leaves the file as it was.
class OutputConnection : public Connection, public textio::LineSink {
 public:
  using Connection::Connection;
  ~OutputConnection();

  // Raises Fatal 47 for a read-only file and Interrupted for a pending interrupt.
  void put_line(std::string_view line_with_crlf) override;
  // Prints the message-63 line; the run goes on.
  void field_overflow() override;
  // Writes out what is buffered; raises Fatal 38 when the file cannot take it.
  void flush();

 private:
  void cut_at_start();

  std::string buffer_;
  bool cut_pending_ = true;
};

// Writes one line and its line end to the standard error stream.
void write_stderr(std::string_view text);

}  // namespace wsphere
