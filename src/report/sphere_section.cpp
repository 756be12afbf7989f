#include "report/sphere_section.hpp"

#include <algorithm>

namespace wsphere {

namespace {

using textio::Layout;

struct SectionLayouts {
  Layout title{R"(/,/,"-------------  выдача для каждого атома       --------------------")"};
  Layout centre_rule{
      R"(/,/,"--------------------------------------------------------------------------------------")"};
  Layout centre{R"(/,5X,"no.,имя,коорд. - ",5X,I4,3X,A6,3X,3(F8.5,2X),/,/)"};
  Layout members_title{R"(/," Атомы попавшие в сферу.")"};
  Layout members_columns{
      R"(/," no.,имя,коорд.(размноженная ячейка),расстояние в сфере, delta расстояний.")"};
  // A member row is  5X,I8,3X,A6,3X,3(F8.5,2X),5X,F8.3,5X,E14.4: its start, up
  // to the distances, is rendered once per block atom (kMemberRowStartWidth
  // columns) and then passed as one character value.
  Layout member_start{"5X,I8,3X,A6,3X,3(F8.5,2X)"};
  Layout member{"A55,5X,F8.3,5X,E14.4"};
  static_assert(kMemberRowStartWidth == 55, "the A field of the member row holds its start");
};

const SectionLayouts& layouts() {
  static const SectionLayouts instance;
  return instance;
}

}  // namespace

SphereSection::SphereSection(textio::ReportWriter& report, const AnalysisInput& input)
    : report_(report), input_(input) {
  member_row_starts_.assign(kImagesPerAtom * input.atom_count);
}

void SphereSection::write_title() { report_.write(layouts().title); }

void SphereSection::centre(int atom) {
  const SectionLayouts& out = layouts();
  const int i = atom - 1;
  report_.write(out.centre_rule);
  report_.write(out.centre, {atom, bytes_of(input_.names[i]), input_.initial.x[i],
                             input_.initial.y[i], input_.initial.z[i]});
  report_.write(out.members_title);
  report_.write(out.members_columns);
}

void SphereSection::member(const SphereMember& member) {
  const MemberRowStart& start = member_row_start(member.block_atom);
  report_.write(layouts().member,
                {std::string_view(start.text.data(), start.text.size()), member.minimised_distance,
                 member.distance_change},
                start.state == MemberRowStart::State::with_asterisks);
}

const SphereSection::MemberRowStart& SphereSection::member_row_start(int j) {
  MemberRowStart& start = member_row_starts_(j);
  if (start.state != MemberRowStart::State::none) return start;
  // Block atom j's name and minimised position, as build_block makes them.
  const int atom = cell_atom_of(j) - 1;
  const ImageShifts shift = image_shifts(j - 1 - kImagesPerAtom * atom);
  const PositionsView& minimised = input_.minimised;
  member_row_capture_.overflow = false;
  member_row_writer_.write(layouts().member_start,
                           {j, bytes_of(input_.names[atom]),
                            shifted_coordinate(minimised.x[atom], shift.a),
                            shifted_coordinate(minimised.y[atom], shift.b),
                            shifted_coordinate(minimised.z[atom], shift.c)});
  const std::string_view line = member_row_capture_.line.substr(0, member_row_capture_.line.size() - 2);
  start.text.fill(' ');  // the last columns are the blanks of the final 2X
  line.copy(start.text.data(), std::min(line.size(), start.text.size()));
  start.state = member_row_capture_.overflow ? MemberRowStart::State::with_asterisks
                                             : MemberRowStart::State::rendered;
  return start;
}

}  // namespace wsphere
