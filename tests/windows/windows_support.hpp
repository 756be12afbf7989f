// Windows test support: temporary folders, whole files, the read-only
// attribute, and programs started as Windows processes whose standard error
// and full 32-bit exit code are collected.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace wsphere::windows_testing {

// A fresh folder under the user's temporary folder, removed with everything
// in it at the end of the test. Paths are full Windows paths.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view bytes);
bool exists(const std::string& path);
void set_read_only(const std::string& path, bool read_only);

// Whether this process may open a read-only file for writing anyway (Wine run
// by root: the attribute is a permission bit that root passes).
bool read_only_attribute_is_ignored();

struct Outcome {
  DWORD status = 0;  // GetExitCodeProcess
  std::string err;   // standard error, as bytes
};

// Runs `program` (with `arguments`, which may be empty) in `folder` with
// standard input from NUL and standard error collected.
Outcome run_process(const std::string& program, const std::string& folder,
                    const std::string& arguments = "");

// The data folders and programs of the build, as Windows paths.
std::string examples_folder();
std::string test_data_folder();
std::string wsphere_exe();
std::string event_probe_exe();

// The message line of a file condition, with its line end.
std::string file_message(int number, std::string_view text, int unit, const std::string& path);

}  // namespace wsphere::windows_testing
