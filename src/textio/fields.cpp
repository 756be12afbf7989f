// The four field renderers of report lines. Each returns exactly `width`
// characters, right-justified; a finite number that does not fit becomes a
// field of asterisks and raises the statement's overflow flag.
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

std::string asterisks(int width) { return std::string(static_cast<std::size_t>(width), '*'); }

// `text` right-justified in `width` columns, or asterisks if it is too long.
std::string fit(std::string_view text, int width, bool& overflow) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    overflow = true;
    return asterisks(width);
  }
  std::string field(w - text.size(), ' ');
  field.append(text);
  return field;
}

// NaN and the infinities: a blank, the word, blanks up to the width. Too
// narrow a field gets asterisks, which do not count as an overflow.
std::string render_non_finite(float value, int width) {
  const std::string_view word = std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
  const auto w = static_cast<std::size_t>(width);
  if (w < word.size() + 1) return asterisks(width);
  std::string field(" ");
  field.append(word);
  field.resize(w, ' ');
  return field;
}

// Exact decimal conversion of the binary value: std::to_chars with a
// precision rounds to the nearest decimal, exact halves to even, and prints the
// same digits as the C library's printf, several times faster.
std::string_view format_number(std::string& buffer, std::chars_format format, int precision,
                               double value) {
  buffer.resize(buffer.capacity() < 64 ? 64 : buffer.capacity());
  for (;;) {
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    if (result.ec == std::errc()) return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
    buffer.resize(buffer.size() * 4);  // huge fixed-point values
  }
}

// True if every digit of a formatted number is 0.
bool all_zero_digits(std::string_view text) {
  return text.find_first_of("123456789") == std::string_view::npos;
}

// Builds "0.dddd" + "E±ee" from "d.ddde±x": the same d significant
// digits (rounding carries are already applied), exponent one higher.
void build_exponent_text(std::string_view printed, std::string& out) {
  const std::size_t e_pos = printed.find('e');
  int exponent = 0;
  std::from_chars(printed.data() + e_pos + 1 + (printed[e_pos + 1] == '+'), printed.end(), exponent);
  ++exponent;
  std::size_t i = 0;
  if (printed[0] == '-') out.push_back(printed[i++]);
  out.append("0.");
  for (; i < e_pos; ++i) {
    if (printed[i] != '.') out.push_back(printed[i]);
  }
  out.push_back('E');
  out.push_back(exponent < 0 ? '-' : '+');
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out.push_back('0');
  out.append(std::to_string(magnitude));
}

}  // namespace

std::string render_integer(std::int32_t value, int width, bool& overflow) {
  std::array<char, 16> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return fit({digits.data(), result.ptr}, width, overflow);
}

std::string render_text(std::string_view value, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) return std::string(value.substr(0, w));
  std::string field(w - value.size(), ' ');
  field.append(value);
  return field;
}

std::string render_fixed(float value, int width, int decimals, bool& overflow) {
  if (!std::isfinite(value)) return render_non_finite(value, width);
  thread_local std::string buffer;
  std::string_view text = format_number(buffer, std::chars_format::fixed, decimals, value);
  if (decimals == 0) {  // the point stays even without decimals
    buffer.insert(text.size(), 1, '.');
    text = {buffer.data(), text.size() + 1};
  }
  // Anything that rounds to zero, -0.0 included, is written unsigned.
  if (text.front() == '-' && all_zero_digits(text)) text.remove_prefix(1);
  return fit(text, width, overflow);
}

std::string render_exponent(float value, int width, int decimals, bool& overflow) {
  if (decimals < 1) throw std::invalid_argument("exponent field needs at least one digit");
  if (!std::isfinite(value)) return render_non_finite(value, width);
  std::string text;
  if (value == 0.0F) {  // also -0.0: zero has no sign
    text.append("0.").append(static_cast<std::size_t>(decimals), '0').append("E+00");
  } else {
    thread_local std::string buffer;
    build_exponent_text(format_number(buffer, std::chars_format::scientific, decimals - 1, value),
                        text);
  }
  // The leading 0 goes first when the field is one column short.
  if (text.size() > static_cast<std::size_t>(width)) {
    text.erase(text.find('0'), 1);
  }
  return fit(text, width, overflow);
}

}  // namespace wsphere::textio
