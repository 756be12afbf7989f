// Readers of the minimisation program's own files: its input or restart file
// (one state) and its printed output (the initial and the final state of
// each configuration).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// A .gin or .res file: `cell`, the `fractional` block (cores kept, shells
// dropped) and an optional `space` group.
SourceState read_gulp_input(const std::string& path);

// How many bytes of the start of a file tell whether it is a printed output.
inline constexpr std::size_t kHeadBytes = 8192;

// Whether `head`, the start of a file, is GULP's printed output: its banner,
// or the header of a configuration's input with its dimensionality. The name
// of the file does not matter (the shell that ran GULP chose it).
bool is_gulp_output(std::string_view head);

// The same for the first kHeadBytes of a file; false when it cannot be read.
bool is_gulp_output_file(const std::string& path);

// The configurations a printed output holds (1 when it says nothing of them).
int count_configurations(std::string_view text);

struct RunStates {
  SourceState initial;
  SourceState final;
  int configuration = 1;   // from 1
  int configurations = 1;  // in the file
  bool converged = true;
  std::string notice;      // GULP's words when the optimisation did not converge
};

// A printed output: the input structure and the structure at the end of the
// bulk optimisation of configuration `configuration` (from 1). With 0, the
// file must hold one configuration; a file of several is refused with the
// list of them. InputError says why a file gives no such pair: a surface,
// polymer or cluster, a run that did no optimisation or only a defect's,
// GULP's own error, a run cut short.
RunStates read_gulp_output(const std::string& path, int configuration = 0);

// The input structure of a configuration alone: a run without a final
// structure (a single-point run, a run GULP stopped) still gives it.
SourceState read_gulp_output_initial(const std::string& path, int configuration = 0);

// "core" or "shel" (and their abbreviations, also of breathing "bcor"/"bshe"):
// the kind of particle named by the word after a label.
enum class Particle { none, core, shell };
Particle particle_of(const std::string& word);

}  // namespace wsphere::companion
