// Building report lines: a statement walks its layout over its values, writing
// fields and literals at the write position and handing each finished line,
// with its CR LF, to the sink.
#include "textio/report_writer.hpp"

#include <stdexcept>
#include <string>
#include <variant>

namespace wsphere::textio {
namespace {

using Kind = LayoutItem::Kind;

bool takes_value(Kind kind) {
  return kind == Kind::integer || kind == Kind::text || kind == Kind::fixed ||
         kind == Kind::exponent;
}

template <typename T>
T value_of(const ReportValue& value) {
  if (const T* v = std::get_if<T>(&value)) return *v;
  throw std::invalid_argument("report value of the wrong kind for its field");
}

void append_field(std::string& line, const LayoutItem& item, const ReportValue& value,
                  bool& overflow) {
  switch (item.kind) {
    case Kind::integer:
      return append_integer(line, value_of<std::int32_t>(value), item.width, overflow);
    case Kind::text:
      return append_text(line, value_of<std::string_view>(value), item.width);
    case Kind::fixed:
      return append_fixed(line, value_of<float>(value), item.width, item.decimals, overflow);
    case Kind::exponent:
      return append_exponent(line, value_of<float>(value), item.width, item.decimals, overflow);
    default:
      throw std::logic_error("layout item takes no value");
  }
}

}  // namespace

void ReportWriter::write(const Layout& layout, std::span<const ReportValue> values) {
  line_.clear();
  // 0-based write position. Only skips move it without writing, so it never
  // lies left of the line's end and every write simply appends.
  std::size_t column = 0;
  bool overflow = false;
  auto next = values.begin();
  for (const LayoutItem& item : layout.items()) {
    if (takes_value(item.kind)) {
      if (next == values.end()) break;
      line_.resize(column, ' ');
      append_field(line_, item, *next++, overflow);
      column = line_.size();
    } else if (item.kind == Kind::skip) {
      column += static_cast<std::size_t>(item.width);
    } else if (item.kind == Kind::literal) {
      line_.resize(column, ' ');
      line_.append(item.bytes);
      column = line_.size();
    } else {  // slash
      end_line();
      column = 0;
    }
  }
  end_line();
  if (overflow) sink_.field_overflow();
}

void ReportWriter::end_line() {
  line_.append("\r\n");
  sink_.put_line(line_);
  line_.clear();
}

}  // namespace wsphere::textio
