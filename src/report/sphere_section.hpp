// The sphere section of the report: for each centre atom a heading and one row
// per sphere member, written while the passes run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/analyse_spheres.hpp"
#include "analysis/block.hpp"
#include "core/checked_vector.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

// A member row begins with the number, name and minimised position of its
// block atom: these columns are the same in every sphere the atom lies in.
inline constexpr std::size_t kMemberRowStartWidth = 55;

class SphereSection : public SphereWatcher {
 public:
  SphereSection(textio::ReportWriter& report, const AnalysisInput& input);

  // The section's title, written once before the first centre.
  void write_title();

  void centre(int atom) override;
  void member(const SphereMember& member) override;

 private:
  // The start of a block atom's member row, rendered at its first use.
  struct MemberRowStart {
    enum class State : std::uint8_t { none, rendered, with_asterisks };
    std::array<char, kMemberRowStartWidth> text;
    State state;
  };

  const MemberRowStart& member_row_start(int j);

  textio::ReportWriter& report_;
  const AnalysisInput& input_;
  CheckedVector<MemberRowStart> member_row_starts_;
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
