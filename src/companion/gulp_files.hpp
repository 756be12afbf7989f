// Readers of the minimisation program's own files: its input or restart file
// (one state) and its printed output (the initial and the final state).
#pragma once

#include <string>

#include "companion/crystal.hpp"

namespace wsphere::companion {

// A .gin or .res file: `cell`, the `fractional` block (cores kept, shells
// dropped) and an optional `space` group.
SourceState read_gulp_input(const std::string& path);

struct RunStates {
  SourceState initial;
  SourceState final;
};

// A printed output (.gout): the input structure and the structure at the end
// of the optimisation.
RunStates read_gulp_output(const std::string& path);

// The input structure of a printed output alone: a run without a final
// structure (a single-point run, a run GULP stopped) still gives it.
SourceState read_gulp_output_initial(const std::string& path);

// "core" or "shel" (and their abbreviations, also of breathing "bcor"/"bshe"):
// the kind of particle named by the word after a label.
enum class Particle { none, core, shell };
Particle particle_of(const std::string& word);

}  // namespace wsphere::companion
