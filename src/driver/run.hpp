// One run of the program: it owns the structure state, the block, the results
// and both connections, and calls reading, the analysis and the report in
// order. The steps of a run are its member functions; the program calls them
// in order, and any failure leaves a step as an exception (core/condition.hpp).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "analysis/analysis_input.hpp"
#include "analysis/block.hpp"
#include "analysis/results.hpp"
#include "driver/units.hpp"
#include "structure/structure_state.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

class Run {
 public:
  Run(std::unique_ptr<InputUnit> input, std::unique_ptr<OutputUnit> output);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // A run on input.txt and output.txt of `directory`, which should be an
  // absolute path: the messages print it as the start of the full path.
  static std::unique_ptr<Run> on_directory(const std::filesystem::path& directory, Console& console);
  // A run on the files of these full paths.
  static std::unique_ptr<Run> on_files(std::string input_path, std::string output_path, Console& console);

  // Legacy name: OPEN_READ. Opens both files, reads the input, writes the
  // coordinate tables and corrects the minimised coordinates.
  void read_input();
  // Legacy name: RAZMNOJENIE. Fills the block and writes the block tables,
  // when either is on.
  void build_block();
  // Legacy name: KALMIR. The neighbour-sphere analysis and every table that
  // follows it.
  void analyse_spheres();
  // Legacy name: CLOSE_STOP. Closes unit 1, then unit 2; returns the exit
  // status of a normal end.
  int close_files();

  // Closes whatever is still open, keeping every report line written; used
  // when a run ends on a failure. Never throws.
  void close_after_failure() noexcept;

  // Full path of the file of unit 1 or 2.
  const std::string& unit_path(int unit) const;

  const StructureState& state() const { return state_; }
  const AnalysisResults& results() const { return results_; }

 private:
  StructureState state_;
  AnalysisInput input_view_;  // of state_, once it is read
  Block block_;
  AnalysisResults results_;
  std::unique_ptr<InputUnit> input_;
  std::unique_ptr<OutputUnit> output_;
  textio::ReportWriter report_;
};

}  // namespace wsphere
