// The two tables of the block: its initial and its minimised positions.
#pragma once

#include "analysis/block.hpp"
#include "textio/report_writer.hpp"

namespace wsphere {

enum class BlockTable { initial, minimised };

// Writes the title of `table` and one row per block atom.
void write_block_table(textio::ReportWriter& report, BlockTable table, const Block& block);

}  // namespace wsphere
