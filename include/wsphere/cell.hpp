// A cell: its edges and angles.
#pragma once

namespace wsphere {

// Edges in one length unit (the one of every length the analysis uses);
// angles in degrees: alpha between b and c, beta between a and c, gamma
// between a and b.
struct Cell {
  float a = 0.0f;
  float b = 0.0f;
  float c = 0.0f;
  float alpha = 0.0f;
  float beta = 0.0f;
  float gamma = 0.0f;
};

}  // namespace wsphere
