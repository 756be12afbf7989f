// Building report lines: a statement walks its layout's steps over its values,
// writing fields and literals at their columns into a line of blanks and
// handing each finished line, with its CR LF, to the sink.
#include "textio/report_writer.hpp"

#include <algorithm>
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

// Lines up to this length, with their CR LF, are blanked as one block.
constexpr std::size_t kShortLine = 96;

}  // namespace

void ReportWriter::write(const Layout& layout, std::span<const ReportValue> values) {
  const std::size_t room = std::max(layout.longest_line() + 2, kShortLine);  // + CR LF
  if (line_.size() < room) line_.resize(std::max(room, 2 * line_.size()), ' ');
  char* const line = line_.data();
  // The end mark: the column after the last character written into the line.
  std::size_t end_mark = 0;
  bool overflow = false;
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
      end_line(end_mark);
      end_mark = 0;
    }
  }
  end_line(end_mark);
  if (overflow) sink_.field_overflow();
}

void ReportWriter::end_line(std::size_t end_mark) {
  char* const line = line_.data();
  line[end_mark] = '\r';
  line[end_mark + 1] = '\n';
  sink_.put_line({line, end_mark + 2});
  // A block of fixed size is blanked by a few stores, without a call.
  if (end_mark + 2 <= kShortLine) {
    std::memset(line, ' ', kShortLine);
  } else {
    std::memset(line, ' ', end_mark + 2);
  }
}

}  // namespace wsphere::textio
