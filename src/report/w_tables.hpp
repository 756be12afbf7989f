// The tables of W: in input order, in the order of W, and kind by kind with
// each kind's mean and sigma.
#pragma once

#include "analysis/analysis_input.hpp"
#include "analysis/results.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

// W and compliance of every cell atom in input order (before order_by_w).
void write_w_table(textio::ReportWriter& report, const AnalysisInput& input,
                   const AnalysisResults& results);

// The same in the order of W (after order_by_w).
void write_ordered_table(textio::ReportWriter& report, const AnalysisInput& input,
                         const AnalysisResults& results);

// The list of each kind when `rows` is on, and each kind's mean and sigma of W
// when `summary` is on (after order_by_w). The statistics raise
// MathDomainError where their square root takes a bad value.
void write_kind_lists(textio::ReportWriter& report, const AnalysisInput& input,
                      const AnalysisResults& results, bool rows, bool summary);

}  // namespace wsphere
