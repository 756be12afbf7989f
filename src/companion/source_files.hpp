// What kind of file a path names, by its content where the name cannot tell
// (the printed output is named by whoever ran the program), and the states
// each kind gives.
#pragma once

#include <string>

#include "companion/crystal.hpp"
#include "companion/gulp_files.hpp"

namespace wsphere::companion {

enum class FileKind { gulp_output, gulp_input, cif };

// InputError when the path names no regular file.
void check_readable(const std::string& path);

// A printed output by its content, whatever its name; else .gin and .res
// (input and restart files) and .cif by name. InputError for anything else.
FileKind kind_of_file(const std::string& path);

// The state a file gives: a printed output its initial state when named
// first and its final state when named second (`minimised`), of the
// configuration chosen (0: the only one).
SourceState state_of_file(const std::string& path, bool minimised, int configuration);

}  // namespace wsphere::companion
