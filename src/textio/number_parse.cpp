#include "textio/number_parse.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace wsphere::textio {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }

bool is_exponent_letter(char c) {
  switch (c) {
    case 'E': case 'e': case 'D': case 'd': case 'Q': case 'q':
      return true;
    default:
      return false;
  }
}

// Looks only at the bytes, not at their order.
bool has_acceptable_bytes(std::string_view text) {
  int points = 0;
  int letters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c) || is_sign(c)) continue;
    if (c == '.' && ++points == 1) continue;
    if (is_exponent_letter(c) && i > 0 && ++letters == 1) continue;
    return false;
  }
  return true;
}

// The parts of a well-formed numeric value.
struct NumberForm {
  bool negative = false;
  std::string_view whole;     // digits before the point
  std::string_view fraction;  // digits after the point
  bool has_point = false;
  bool has_exponent = false;
  bool exponent_negative = false;
  std::string_view exponent;  // digits of the exponent
};

std::string_view take_digits(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && is_digit(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

bool take_sign(std::string_view text, std::size_t& pos) {
  if (pos < text.size() && is_sign(text[pos])) return text[pos++] == '-';
  return false;
}

bool take_exponent(std::string_view text, std::size_t& pos, NumberForm& form) {
  if (pos == text.size()) return true;
  if (!is_exponent_letter(text[pos])) return false;
  ++pos;
  form.has_exponent = true;
  form.exponent_negative = take_sign(text, pos);
  form.exponent = take_digits(text, pos);
  return !form.exponent.empty();
}

std::optional<NumberForm> match_form(std::string_view text) {
  NumberForm form;
  std::size_t pos = 0;
  form.negative = take_sign(text, pos);
  form.whole = take_digits(text, pos);
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    form.has_point = true;
    form.fraction = take_digits(text, pos);
  }
  if (form.whole.empty() && form.fraction.empty()) return std::nullopt;
  if (!take_exponent(text, pos, form) || pos != text.size()) return std::nullopt;
  return form;
}

// The value spelt the way std::from_chars reads it: no plus sign, exponent 'e'.
std::string plain_spelling(const NumberForm& form) {
  std::string text = form.negative ? "-" : "";
  text.append(form.whole.empty() ? "0" : form.whole);
  if (!form.fraction.empty()) text.append(".").append(form.fraction);
  if (form.has_exponent) {
    text.append(form.exponent_negative ? "e-" : "e");
    text.append(form.exponent);
  }
  return text;
}

// Whether a value that std::from_chars found out of range is at least one in
// magnitude (so it overflowed) rather than below one (so it underflowed): the
// power of ten of its leading non-zero digit is not negative.
bool is_large(const NumberForm& form) {
  constexpr long long limit = 1'000'000'000'000LL;
  long long power = 0;
  for (char c : form.exponent) power = std::min(limit, power * 10 + (c - '0'));
  if (form.exponent_negative) power = -power;
  const std::size_t lead = form.whole.find_first_not_of('0');
  if (lead != std::string_view::npos) {
    return power + static_cast<long long>(form.whole.size() - lead) - 1 >= 0;
  }
  const std::size_t first = form.fraction.find_first_not_of('0');
  if (first == std::string_view::npos) return false;
  return power - static_cast<long long>(first) - 1 >= 0;
}

template <typename T>
ParsedNumber<T> failure(NumberFault fault) {
  ParsedNumber<T> result;
  result.fault = fault;
  return result;
}

// Rounds the value once to T; overflow fails, underflow gives a signed zero.
template <typename T>
ParsedNumber<T> to_floating(const NumberForm& form) {
  const std::string text = plain_spelling(form);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (is_large(form)) return failure<T>(NumberFault::not_a_number);
    value = form.negative ? -T{0} : T{0};
  }
  return {value};
}

ParsedNumber<std::int32_t> to_integer(const NumberForm& form) {
  std::string text = form.negative ? "-" : "";
  text.append(form.whole);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{}) return failure<std::int32_t>(NumberFault::not_a_number);
  return {value};
}

ParsedNumber<std::int32_t> truncate_to_integer(const NumberForm& form) {
  const ParsedNumber<double> real = to_floating<double>(form);
  if (real.fault != NumberFault::none) return failure<std::int32_t>(real.fault);
  const double whole = std::trunc(real.value);
  if (whole < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      whole > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return failure<std::int32_t>(NumberFault::not_a_number);
  }
  return {static_cast<std::int32_t>(whole)};
}

// Checks the bytes, then the form; the fault, if any, is in `fault`.
std::optional<NumberForm> checked_form(std::string_view text, NumberFault& fault) {
  if (!has_acceptable_bytes(text)) {
    fault = NumberFault::bad_character;
    return std::nullopt;
  }
  std::optional<NumberForm> form = match_form(text);
  fault = form ? NumberFault::none : NumberFault::not_a_number;
  return form;
}

// The usual input value, such as 0.4130000 or -12.5: an optional minus,
// digits with at most one point, no exponent, at most nine digits which,
// without the zeros that end the fraction, make a number up to 2^24. Such a
// number m / 10^f, f up to 9, is the quotient of two floats that hold m and
// 10^f exactly, and the division rounds it once to the nearest float, ties
// to even, as the general path does. False for anything else.
bool plain_decimal(std::string_view text, float& value) {
  constexpr float kPowers[] = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F, 1e7F, 1e8F, 1e9F};
  constexpr std::uint64_t kExactLimit = 1U << 24;
  constexpr std::size_t kLongest = 10;  // nine digits and a point
  constexpr std::size_t kNoPoint = std::string_view::npos;
  const std::size_t size = text.size();
  const std::size_t first = size > 0 && text[0] == '-' ? 1 : 0;
  if (size - first > kLongest) return false;
  std::uint64_t digits = 0;  // of at most ten digits, so it cannot wrap
  std::size_t point = kNoPoint;
  for (std::size_t pos = first; pos < size; ++pos) {
    const unsigned digit = static_cast<unsigned char>(text[pos]) - unsigned{'0'};
    if (digit < 10) {
      digits = digits * 10 + digit;
    } else if (text[pos] == '.' && point == kNoPoint) {
      point = pos;
    } else {
      return false;
    }
  }
  const std::size_t count = size - first - (point == kNoPoint ? 0 : 1);
  if (count == 0 || count > 9) return false;
  std::size_t fraction = point == kNoPoint ? 0 : size - point - 1;
  // Zeros that end the fraction change neither the number nor its rounding:
  // 101.117000 is 101117 / 10^3.
  for (; digits > kExactLimit && fraction > 0 && digits % 10 == 0; --fraction) digits /= 10;
  if (digits > kExactLimit) return false;
  const float magnitude = static_cast<float>(digits) / kPowers[fraction];
  value = first == 1 ? -magnitude : magnitude;
  return true;
}

// The usual integer, such as 152 or -3: an optional minus and one to nine
// digits, which no 32-bit integer overflows. False for anything else.
bool plain_integer(std::string_view text, std::int32_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::size_t first = negative ? 1 : 0;
  if (text.size() == first || text.size() - first > 9) return false;
  std::int32_t magnitude = 0;
  for (std::size_t pos = first; pos < text.size(); ++pos) {
    if (!is_digit(text[pos])) return false;
    magnitude = magnitude * 10 + (text[pos] - '0');
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

ParsedNumber<float> parse_real(std::string_view text) {
  if (float value = 0.0F; plain_decimal(text, value)) return {value};
  NumberFault fault{};
  const std::optional<NumberForm> form = checked_form(text, fault);
  if (!form) return failure<float>(fault);
  return to_floating<float>(*form);
}

ParsedNumber<std::int32_t> parse_integer(std::string_view text) {
  if (std::int32_t value = 0; plain_integer(text, value)) return {value};
  NumberFault fault{};
  const std::optional<NumberForm> form = checked_form(text, fault);
  if (!form) return failure<std::int32_t>(fault);
  if (form->has_point || form->has_exponent) return truncate_to_integer(*form);
  return to_integer(*form);
}

}  // namespace wsphere::textio
