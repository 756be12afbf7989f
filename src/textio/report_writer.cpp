// Building report lines: a statement walks its layout over its values, writing
// fields and literals at the write position and handing each finished line,
// with its CR LF, to the sink.
#include "textio/report_writer.hpp"

#include <algorithm>
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

}  // namespace

void ReportWriter::write(const Layout& layout, std::span<const ReportValue> values) {
  end_mark_ = 0;
  // 0-based write position. Only skips move it without writing, so it never
  // lies left of the end mark and every write simply extends the line.
  std::size_t column = 0;
  bool overflow = false;
  auto next = values.begin();
  for (const LayoutItem& item : layout.items()) {
    if (takes_value(item.kind)) {
      if (next == values.end()) break;
      const std::size_t end = column + static_cast<std::size_t>(item.width);
      put_field(place(column, end), item, *next++, overflow);
      column = end_mark_ = end;
    } else if (item.kind == Kind::skip) {
      column += static_cast<std::size_t>(item.width);
    } else if (item.kind == Kind::literal) {
      const std::size_t end = column + item.bytes.size();
      std::copy(item.bytes.begin(), item.bytes.end(), place(column, end));
      column = end_mark_ = end;
    } else {  // slash
      end_line();
      column = 0;
    }
  }
  end_line();
  if (overflow) sink_.field_overflow();
}

WSPHERE_SHORT_LOOPS char* ReportWriter::place(std::size_t column, std::size_t end) {
  if (line_.size() < end + 2) line_.resize(std::max(end + 2, 2 * line_.size()));  // + CR LF
  for (std::size_t k = end_mark_; k < column; ++k) line_[k] = ' ';
  return line_.data() + column;
}

void ReportWriter::end_line() {
  place(end_mark_, end_mark_);
  line_[end_mark_] = '\r';
  line_[end_mark_ + 1] = '\n';
  sink_.put_line({line_.data(), end_mark_ + 2});
  end_mark_ = 0;
}

}  // namespace wsphere::textio
