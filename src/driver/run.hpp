// One run of the program: it owns the structure state, the block, the results
// and both connections. The steps of a run are its member functions; MAIN calls
// them in order, and any failure leaves a step as an exception (see condition.hpp).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/block.hpp"
#include "analysis/results.hpp"
#include "analysis/sphere_pass.hpp"
#include "driver/units.hpp"
#include "structure/structure_state.hpp"
#include "textio/free_form_reader.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

// A member row begins with the number, name and minimised position of its
// block atom: these columns are the same in every sphere the atom lies in.
inline constexpr std::size_t kMemberRowStartWidth = 55;

class Run {
 public:
  Run(std::unique_ptr<InputUnit> input, std::unique_ptr<OutputUnit> output);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // A run holds the whole block, a few megabytes: it is placed on huge pages
  // where the system offers them, so that filling it takes one page fault
  // instead of hundreds.
  static void* operator new(std::size_t size);
  static void operator delete(void* run) noexcept;

  // A run on input.txt and output.txt of `directory`, which should be an
  // absolute path: the messages print it as the start of the full path.
  static std::unique_ptr<Run> on_directory(const std::filesystem::path& directory, Console& console);
  // A run on the files of these full paths.
  static std::unique_ptr<Run> on_files(std::string input_path, std::string output_path, Console& console);

  // Opens both files, reads the input, writes the coordinate tables and
  // corrects the minimised coordinates.
  void OPEN_READ();
  // Fills the block and writes the block tables.
  void RAZMNOJENIE();
  // The neighbour-sphere analysis and every table that follows it.
  void KALMIR();
  // Closes unit 1, then unit 2; returns the exit status of a normal end.
  int CLOSE_STOP();

  // Closes whatever is still open, keeping every report line written; used
  // when a run ends on a failure. Never throws.
  void close_after_failure() noexcept;

  // Full path of the file of unit 1 or 2.
  const std::string& unit_path(int unit) const;

  const StructureState& state() const { return state_; }
  const Block& block() const { return block_; }
  const AnalysisResults& results() const { return results_; }

 private:
  // The start of a block atom's member row, rendered at its first use.
  struct MemberRowStart {
    enum class State : std::uint8_t { none, rendered, with_asterisks };
    std::array<char, kMemberRowStartWidth> text;
    State state;
  };

  void read_input();
  void read_atom_list(Positions<kCellCapacity>& positions);
  void begin_statement();
  void skip_trailing_token();
  void write_positions_table(const textio::Layout& title, const Positions<kCellCapacity>& positions);
  void write_block_table(const textio::Layout& title, const Positions<kBlockCapacity>& positions);
  void write_centre_heading(int i);
  void write_member(const SphereMember& member);
  const MemberRowStart& member_row_start(int j);
  void store_atom_results(int i, const CentreSums& sums, float scale);
  void write_w_table();
  void write_ordered_table();
  void write_w_row(const textio::Layout& layout, int number, int atom, float w);
  void write_kind_lists();
  void write_kind(const KindSymbol& symbol, const textio::Layout& row,
                  const std::function<bool(const AtomName&)>& belongs);

  StructureState state_;
  Block block_;
  AnalysisResults results_;
  std::unique_ptr<InputUnit> input_;
  std::unique_ptr<OutputUnit> output_;
  std::unique_ptr<textio::FreeFormReader> reader_;
  textio::ReportWriter report_;

  CheckedArray<MemberRowStart, kBlockCapacity> member_row_starts_;
  // Where a member row start is rendered.
  struct LineCapture : textio::WholeLineSink<> {
    std::string_view line;
    bool overflow = false;
    void put_line(std::string_view line_with_crlf) override { line = line_with_crlf; }
    void field_overflow() override { overflow = true; }
  } member_row_capture_;
  textio::ReportWriter member_row_writer_{member_row_capture_};
};

}  // namespace wsphere
