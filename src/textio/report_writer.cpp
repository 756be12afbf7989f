// Building report lines: a statement walks its layout's steps over its values,
// writing fields and literals at their columns into a line of blanks in the
// sink's room and committing each finished line, with its CR LF.
#include "textio/report_writer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <variant>

namespace wsphere::textio {
namespace {

using Kind = LayoutItem::Kind;

template <typename T>
T value_of(const ReportValue& value) {
  if (const T* v = std::get_if<T>(&value)) return *v;
  throw std::invalid_argument("report value of the wrong kind for its field");
}

void put_field(char* out, const LayoutItem& item, const ReportValue& value, bool& overflow) {
  switch (item.kind) {
    case Kind::integer:
      return put_integer(out, value_of<std::int32_t>(value), item.width, overflow);
    case Kind::text:
      return put_text(out, value_of<std::string_view>(value), item.width);
    case Kind::fixed:
      return put_fixed(out, value_of<float>(value), item.width, item.decimals, overflow);
    case Kind::exponent:
      return put_exponent(out, value_of<float>(value), item.width, item.decimals, overflow);
    default:
      throw std::logic_error("layout item takes no value");
  }
}

// Lines up to this length, with their CR LF, get room of this fixed size,
// which is blanked by a few stores, without a call.
constexpr std::size_t kShortLine = 96;

// Room of `size` bytes for the next line, all blanks.
WSPHERE_SHORT_LOOPS char* blank_line(LineSink& sink, std::size_t size) {
  char* const line = sink.line_room(size);
  if (size == kShortLine) {
    constexpr std::uint64_t blanks = 0x2020202020202020ULL;
    for (std::size_t k = 0; k < kShortLine; k += sizeof blanks) std::memcpy(line + k, &blanks, sizeof blanks);
  } else {
    std::memset(line, ' ', size);
  }
  return line;
}

// Ends the line at `end_mark` with CR LF and commits it.
void end_line(LineSink& sink, char* line, std::size_t end_mark) {
  line[end_mark] = '\r';
  line[end_mark + 1] = '\n';
  sink.commit_line(end_mark + 2);
}

}  // namespace

void ReportWriter::write(const Layout& layout, std::span<const ReportValue> values,
                         bool overflow_before) {
  const std::size_t room = std::max(layout.longest_line() + 2, kShortLine);  // + CR LF
  char* line = blank_line(sink_, room);
  // The end mark: the column after the last character written into the line.
  std::size_t end_mark = 0;
  bool overflow = overflow_before;
  auto next = values.begin();
  for (const LayoutStep& step : layout.steps()) {
    const LayoutItem& item = layout.items()[static_cast<std::size_t>(step.item)];
    if (step.kind == LayoutStep::Kind::field) {
      if (next == values.end()) break;
      put_field(line + step.column, item, *next++, overflow);
      end_mark = step.end;
    } else if (step.kind == LayoutStep::Kind::literal) {
      std::memcpy(line + step.column, item.bytes.data(), item.bytes.size());
      end_mark = step.end;
    } else {
      end_line(sink_, line, end_mark);
      line = blank_line(sink_, room);
      end_mark = 0;
    }
  }
  end_line(sink_, line, end_mark);
  if (overflow) sink_.field_overflow();
}

}  // namespace wsphere::textio
