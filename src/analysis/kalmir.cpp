// KALMIR: the neighbour-sphere pass of every cell atom, W and compliance, the
// W table, the ordering by W and the lists and statistics of each kind.
#include <algorithm>

#include "analysis/atom_results.hpp"
#include "analysis/sortirovka.hpp"
#include "analysis/sphere_filter.hpp"
#include "analysis/sphere_pass.hpp"
#include "core/single.hpp"
#include "driver/interrupt.hpp"
#include "driver/run.hpp"

namespace wsphere {

namespace {

using textio::Layout;

// The report lines of the analysis, one layout each.
struct AnalysisLayouts {
  Layout section{R"(/,/,"-------------  выдача для каждого атома       --------------------")"};
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
  Layout w_heading{R"(/,/,/,2X," no.        имя             среднее - W        податливость",/)"};
  Layout w_row{R"(1X,I5,7X,A6,10X,F10.5,5X,F6.2," %")"};
  Layout last_kind_row{R"(1X,I5,7X,A6,10X,F10.5,5X,F5.2," %")"};
  Layout ordered_heading{R"(/,/,/,2X," Упорядоченные значения по W",/)"};
  Layout by_kind_heading{R"(/,/,/,2X," Значения W по атомам:",/)"};
  Layout columns{R"(/,2X," no.    имя            среднее- W        податливость",/)"};
  Layout one_slash{"/"};
  Layout two_slashes{"/,/"};
  Layout summary{R"(2X,"атом ",1X,A6," : ","среднее W - ",F10.5,3X,"сигма - ",F10.5)"};
};

const AnalysisLayouts& layouts() {
  static const AnalysisLayouts instance;
  return instance;
}

}  // namespace

SphereSetup sphere_setup(const StructureState& state) {
  SphereSetup setup;
  setup.sphere_radius_sq =
      round_to_single(static_cast<double>(state.sphere_radius) * state.sphere_radius);
  setup.bond_limit = state.bond_limit;
  setup.initial_metric = cell_metric(state.initial_cell);
  setup.minimised_metric = cell_metric(state.minimised_cell);
  return setup;
}

void Run::KALMIR() {
  const AnalysisLayouts& out = layouts();
  const SphereSetup setup = sphere_setup(state_);
  const float scale = compliance_scale(state_.bond_reference(1), state_.bond_reference(2));
  const bool details = state_.print_sphere_details == 1;
  SphereFilter filter(setup, state_);

  if (details) report_.write(out.section);
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    check_interrupt();
    results_.atom_order(i) = i;
    if (details) write_centre_heading(i);
    const CentreSums sums =
        filtered_centre_pass(setup, filter, state_, block_, i, [&](const SphereMember& member) {
          if (details) write_member(member);
        });
    store_atom_results(i, sums, scale);
  }
  if (state_.print_w_table == 1) write_w_table();
  SORTIROVKA(results_.w_values, state_.cell_atom_count, results_.atom_order);
  if (state_.print_w_ordered == 1) write_ordered_table();
  write_kind_lists();
}

void Run::write_centre_heading(int i) {
  const AnalysisLayouts& out = layouts();
  const Positions<kCellCapacity>& initial = state_.initial_positions;
  report_.write(out.centre_rule);
  report_.write(out.centre, {i, bytes_of(state_.cell_atom_names(i)), initial.x(i), initial.y(i),
                             initial.z(i)});
  report_.write(out.members_title);
  report_.write(out.members_columns);
}

void Run::write_member(const SphereMember& member) {
  const MemberRowStart& start = member_row_start(member.block_atom);
  report_.write(layouts().member,
                {std::string_view(start.text.data(), start.text.size()), member.minimised_distance,
                 member.distance_change},
                start.state == MemberRowStart::State::with_asterisks);
}

const Run::MemberRowStart& Run::member_row_start(int j) {
  MemberRowStart& start = member_row_starts_(j);
  if (start.state != MemberRowStart::State::none) return start;
  const Positions<kBlockCapacity>& minimised = block_.block_minimised_positions;
  member_row_capture_.overflow = false;
  member_row_writer_.write(layouts().member_start,
                           {j, bytes_of(block_.block_atom_names(j)), minimised.x(j), minimised.y(j),
                            minimised.z(j)});
  const std::string_view line = member_row_capture_.line.substr(0, member_row_capture_.line.size() - 2);
  start.text.fill(' ');  // the last columns are the blanks of the final 2X
  line.copy(start.text.data(), std::min(line.size(), start.text.size()));
  start.state = member_row_capture_.overflow ? MemberRowStart::State::with_asterisks
                                             : MemberRowStart::State::rendered;
  return start;
}

void Run::store_atom_results(int i, const CentreSums& sums, float scale) {
  results_.w_values(i) = w_value(sums);
  const float bond_mean = mean_bond(sums);
  const AtomName& name = state_.cell_atom_names(i);
  for (int kind : {1, 2}) {
    if (has_symbol(name, state_.kind_symbols(kind))) {
      results_.compliance(i) = compliance_percent(bond_mean, state_.bond_reference(kind), scale);
    }
  }
}

void Run::write_w_table() {
  report_.write(layouts().w_heading);
  for (int i = 1; i <= state_.cell_atom_count; ++i) {
    write_w_row(layouts().w_row, i, i, results_.w_values(i));
  }
}

void Run::write_ordered_table() {
  report_.write(layouts().ordered_heading);
  report_.write(layouts().columns);
  for (int k = 1; k <= state_.cell_atom_count; ++k) {
    write_w_row(layouts().w_row, k, results_.atom_order(k), results_.w_values(k));
  }
}

// One row of a W list: its running number, then the name and compliance of
// cell atom `atom`, with the W given.
void Run::write_w_row(const Layout& layout, int number, int atom, float w) {
  report_.write(layout,
                {number, bytes_of(state_.cell_atom_names(atom)), w, results_.compliance(atom)});
}

void Run::write_kind_lists() {
  const AnalysisLayouts& out = layouts();
  const bool by_kind = state_.print_w_by_kind == 1;
  if (by_kind) {
    report_.write(out.by_kind_heading);
    report_.write(out.columns);
  }
  for (int m = 1; m <= state_.kind_count - 1; ++m) {
    if (by_kind) report_.write(out.one_slash);
    const KindSymbol& symbol = state_.kind_symbols(m);
    write_kind(symbol, out.w_row, [&](const AtomName& name) { return has_symbol(name, symbol); });
  }
  if (by_kind) report_.write(out.one_slash);
  // Without kinds there is no last kind to list.
  if (state_.kind_count >= 1) {
    const KindSymbol& symbol = state_.kind_symbols(state_.kind_count);
    write_kind(symbol, out.last_kind_row,
               [&](const AtomName& name) { return has_last_symbol(name, symbol); });
  }
}

// Lists the members of one kind in the order of the ordered table and, when
// the summary is on, their mean W and sigma.
void Run::write_kind(const KindSymbol& symbol, const Layout& row,
                     const std::function<bool(const AtomName&)>& belongs) {
  const AnalysisLayouts& out = layouts();
  CheckedArray<float, kCellCapacity> kind_w;
  int n = 0;
  for (int k = 1; k <= state_.cell_atom_count; ++k) {
    const int j = results_.atom_order(k);
    if (!belongs(state_.cell_atom_names(j))) continue;
    ++n;
    kind_w(n) = results_.w_values(k);
    if (state_.print_w_by_kind == 1) write_w_row(row, n, j, results_.w_values(k));
  }
  if (state_.print_w_summary != 1) return;
  const KindStatistics statistics = kind_statistics(kind_w.data(), n);
  report_.write(out.two_slashes);
  report_.write(out.summary, {bytes_of(symbol), statistics.mean, statistics.sigma});
  report_.write(out.one_slash);
}

}  // namespace wsphere
