// The whole program as functions: a run on a directory's files (what main
// does) and a run on input bytes held in memory (what tests and the fuzzer do).
// Every failure becomes its message lines on the console and an exit status;
// nothing here ends the process.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "driver/run.hpp"
#include "driver/units.hpp"

namespace wsphere {

// Runs the four steps of `run` and returns the exit status (system.hpp): 0,
// the status of a severe condition, 3 for the square root of a bad value, or
// the status of a console interrupt.
int execute(Run& run, Console& console);

// The program on input.txt and output.txt of `directory`.
int run_in_directory(const std::filesystem::path& directory, Console& console);

// The program on input.txt and output.txt of the working directory.
int run_in_working_directory(Console& console);

struct MemoryRunResult {
  std::string report;    // the bytes a report file would hold
  std::string messages;  // what the console would show
  int status = 0;
};

// The program on `input` as the bytes of input.txt; messages name the files as
// if they stood in `directory`.
MemoryRunResult run_in_memory(std::string_view input, const std::string& directory = "/run");

}  // namespace wsphere
