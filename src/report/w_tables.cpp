#include "report/w_tables.hpp"

#include "analysis/atom_results.hpp"
#include "analysis/kind_lists.hpp"

namespace wsphere {

namespace {

using textio::Layout;

struct WLayouts {
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

const WLayouts& layouts() {
  static const WLayouts instance;
  return instance;
}

// One row of a W list: its running number, then the name and compliance of
// cell atom `atom`, with the W given.
void write_w_row(textio::ReportWriter& report, const Layout& layout, const AnalysisInput& input,
                 const AnalysisResults& results, int number, int atom, float w) {
  report.write(layout, {number, bytes_of(input.names[atom - 1]), w, results.compliance(atom)});
}

// The rows of one kind in the order of the ordered table and, when the summary
// is on, its mean W and sigma.
void write_kind(textio::ReportWriter& report, const AnalysisInput& input,
                const AnalysisResults& results, int kind, const Layout& row, bool rows,
                bool summary) {
  const WLayouts& out = layouts();
  const KindList list = kind_list(input, results, kind);
  if (rows) {
    for (std::size_t n = 0; n < list.places.size(); ++n) {
      const int k = list.places[n];
      write_w_row(report, row, input, results, static_cast<int>(n) + 1, results.atom_order(k),
                  results.w_values(k));
    }
  }
  if (!summary) return;
  const KindStatistics statistics = kind_statistics(list.w.data(), static_cast<int>(list.w.size()));
  report.write(out.two_slashes);
  report.write(out.summary,
               {bytes_of(input.kind_symbols[kind - 1]), statistics.mean, statistics.sigma});
  report.write(out.one_slash);
}

}  // namespace

void write_w_table(textio::ReportWriter& report, const AnalysisInput& input,
                   const AnalysisResults& results) {
  report.write(layouts().w_heading);
  for (int i = 1; i <= input.atom_count; ++i) {
    write_w_row(report, layouts().w_row, input, results, i, i, results.w_values(i));
  }
}

void write_ordered_table(textio::ReportWriter& report, const AnalysisInput& input,
                         const AnalysisResults& results) {
  report.write(layouts().ordered_heading);
  report.write(layouts().columns);
  for (int k = 1; k <= input.atom_count; ++k) {
    write_w_row(report, layouts().w_row, input, results, k, results.atom_order(k),
                results.w_values(k));
  }
}

void write_kind_lists(textio::ReportWriter& report, const AnalysisInput& input,
                      const AnalysisResults& results, bool rows, bool summary) {
  const WLayouts& out = layouts();
  if (rows) {
    report.write(out.by_kind_heading);
    report.write(out.columns);
  }
  for (int m = 1; m <= input.kind_count - 1; ++m) {
    if (rows) report.write(out.one_slash);
    write_kind(report, input, results, m, out.w_row, rows, summary);
  }
  if (rows) report.write(out.one_slash);
  // Without kinds there is no last kind to list.
  if (input.kind_count >= 1) {
    write_kind(report, input, results, input.kind_count, out.last_kind_row, rows, summary);
  }
}

}  // namespace wsphere
