// Runs the built wsphere binary in a temporary directory and collects what it
// leaves: exit status, standard error, standard output and the files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wsphere::testing {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(std::string_view name) const { return path_ / name; }

 private:
  fs::path path_;
};

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, std::string_view bytes);

struct Outcome {
  int status = -1;  // exit status, or 128 + signal number when killed
  std::string err;  // standard error
  std::string out;  // standard output
};

// A started wsphere process with its working directory set to `directory`.
class Process {
 public:
  // With `run_as_user` >= 0 (only possible for root) the child takes that user
  // and group id before it starts, so that file permissions apply to it.
  // With `memory_limit` > 0 the child's address space is limited to that many bytes.
  explicit Process(const fs::path& directory, int run_as_user = -1, std::size_t memory_limit = 0);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  int pid() const { return pid_; }
  // Waits for the end of the process and collects its output.
  Outcome wait();

 private:
  int pid_ = -1;
  int err_fd_ = -1;
  int out_fd_ = -1;
  bool waited_ = false;
};

// Runs wsphere to its end in `directory`.
Outcome run_wsphere(const fs::path& directory);

// The kyanite example with a wider sphere: a report of ten output buffers and more.
std::string large_report_input();

// The message line of a file condition as the program prints it.
std::string file_message(int number, std::string_view text, int unit, const fs::path& file);

}  // namespace wsphere::testing
