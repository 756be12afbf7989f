#include "companion/source_files.hpp"

#include <filesystem>

#include "companion/cif_file.hpp"
#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace fs = std::filesystem;

void check_readable(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) throw InputError(path + ": no such file");
  if (!fs::is_regular_file(path, error)) throw InputError(path + ": not a regular file");
}

FileKind kind_of_file(const std::string& path) {
  check_readable(path);
  if (is_gulp_output_file(path)) return FileKind::gulp_output;
  const std::string extension = lower(fs::path(path).extension().string());
  if (extension == ".gin" || extension == ".res") return FileKind::gulp_input;
  if (extension == ".cif") return FileKind::cif;
  throw InputError(path + ": neither a GULP output (by its content) nor a .gin, .res or .cif file");
}

SourceState state_of_file(const std::string& path, bool minimised, int configuration) {
  switch (kind_of_file(path)) {
    case FileKind::gulp_input:
      return read_gulp_input(path);
    case FileKind::cif:
      return read_cif_file(path);
    case FileKind::gulp_output:
      break;
  }
  return minimised ? read_gulp_output(path, configuration).final : read_gulp_output_initial(path, configuration);
}

}  // namespace wsphere::companion
