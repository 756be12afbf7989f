// wsphere-input: writes wsphere's input file from the files of a minimisation run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace wsphere::companion {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the program on its arguments (without the program name). The usage
// text goes to `out`; summaries, warnings and errors go to `err`. Returns the
// exit status: 0, kExitFailure or kExitUsage.
int run_companion(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wsphere::companion
