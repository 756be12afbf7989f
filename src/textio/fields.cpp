// The four field renderers of report lines. Each fills exactly `width`
// characters, right-justified, of a field that holds blanks on entry; a finite
// number that does not fit becomes a field of asterisks and raises the
// statement's overflow flag. Numbers are converted exactly (the decimal digits
// of the binary value, rounded to nearest with exact halves to even): by
// exact double and integer arithmetic, written straight into the field from
// its right end, where the value and the digits allow, and by std::to_chars
// otherwise.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

WSPHERE_SHORT_LOOPS void fill(char* out, std::size_t count, char c) {
  for (std::size_t k = 0; k < count; ++k) out[k] = c;
}

// Copies `text` to `out`: short texts by two overlapping moves of a fixed size.
void copy(char* out, std::string_view text) {
  const char* in = text.data();
  const std::size_t n = text.size();
  const auto two_moves = [&](auto chunk) {
    constexpr std::size_t size = sizeof chunk;
    std::memcpy(&chunk, in, size);
    decltype(chunk) tail;
    std::memcpy(&tail, in + n - size, size);
    std::memcpy(out, &chunk, size);
    std::memcpy(out + n - size, &tail, size);
  };
  if (n >= 16) {
    std::memcpy(out, in, n);
  } else if (n >= 8) {
    two_moves(std::uint64_t{});
  } else if (n >= 4) {
    two_moves(std::uint32_t{});
  } else if (n >= 2) {
    two_moves(std::uint16_t{});
  } else if (n == 1) {
    *out = *in;
  }
}

// `text` right-justified in `width` columns of blanks, or asterisks if it is
// too long.
void fit(char* out, std::string_view text, int width, bool& overflow) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    overflow = true;
    fill(out, w, '*');
    return;
  }
  copy(out + (w - text.size()), text);
}

// Asterisks for a number too long for its field.
void too_long(char* out, int width, bool& overflow) {
  overflow = true;
  fill(out, static_cast<std::size_t>(width), '*');
}

// NaN and the infinities: a blank, the word, blanks up to the width. Too
// narrow a field gets asterisks, which do not count as an overflow.
void put_non_finite(char* out, float value, int width) {
  const std::string_view word = std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
  const auto w = static_cast<std::size_t>(width);
  if (w < word.size() + 1) {
    fill(out, w, '*');
    return;
  }
  copy(out + 1, word);  // after one blank, blanks to the end
}

constexpr std::uint64_t kPowersOfTen[] = {1ULL,
                                          10ULL,
                                          100ULL,
                                          1000ULL,
                                          10000ULL,
                                          100000ULL,
                                          1000000ULL,
                                          10000000ULL,
                                          100000000ULL,
                                          1000000000ULL,
                                          10000000000ULL,
                                          100000000000ULL,
                                          1000000000000ULL,
                                          10000000000000ULL,
                                          100000000000000ULL,
                                          1000000000000000ULL,
                                          10000000000000000ULL,
                                          100000000000000000ULL,
                                          1000000000000000000ULL,
                                          10000000000000000000ULL};
// Scales of the integer paths: a mantissa below 2^24 times 10^11 stays below 2^63.
constexpr int kLargestScale = 11;
// The same powers as doubles (exact up to 10^22).
constexpr auto kDoublePowersOfTen = [] {
  std::array<double, kLargestScale + 1> powers{};
  for (std::size_t k = 0; k < powers.size(); ++k) powers[k] = static_cast<double>(kPowersOfTen[k]);
  return powers;
}();

// Number of decimal digits of n (1 for 0).
int digit_count(std::uint64_t n) {
  const int bits = 64 - std::countl_zero(n | 1);
  const int guess = (bits * 1233) >> 12;  // 1233 / 4096 ≈ log10 2
  return guess + (n >= kPowersOfTen[guess] ? 1 : 0);
}

// "00", "01", ..., "99": digits are written two at a time.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

// Writes the last two decimal digits of n backwards, ending before `end`.
template <class Unsigned>
void put_pair_back(char*& end, Unsigned n) {
  end -= 2;
  std::memcpy(end, &kDigitPairs[static_cast<std::size_t>(2 * (n % 100))], 2);
}

// Writes the last `count` decimal digits of n backwards, ending before `end`;
// returns what is left of n.
template <class Unsigned>
Unsigned put_digits_back(char*& end, Unsigned n, int count) {
  for (; count >= 2; count -= 2) {
    put_pair_back(end, n);
    n /= 100;
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return n;
}

// Writes all decimal digits of n (at least one) backwards, ending before `end`.
template <class Unsigned>
void put_number_back(char*& end, Unsigned n) {
  for (; n >= 100; n /= 100) put_pair_back(end, n);
  if (n >= 10) {
    put_pair_back(end, n);
  } else {
    *--end = static_cast<char>('0' + n);
  }
}

// A finite float as sign · mantissa · 2^exponent, the mantissa below 2^24.
struct Binary {
  bool negative;
  std::uint64_t mantissa;
  int exponent;
};

Binary binary_of(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFFU;
  const std::uint32_t fraction = bits & 0x7FFFFFU;
  if (biased == 0) return {(bits >> 31) != 0, fraction, -149};
  return {(bits >> 31) != 0, fraction | 0x800000U, static_cast<int>(biased) - 150};
}

// n · 2^shift rounded to an integer, exact halves to even; false if the result
// could exceed 64 bits. n is below 2^63.
bool scaled_by_power_of_two(std::uint64_t n, int shift, std::uint64_t& result) {
  if (shift >= 0) {
    if (n != 0 && shift >= std::countl_zero(n)) return false;
    result = n << shift;
    return true;
  }
  const int down = -shift;
  if (down >= 64) {  // the value is below one half
    result = 0;
    return true;
  }
  const std::uint64_t q = n >> down;
  const std::uint64_t rest = n & ((std::uint64_t{1} << down) - 1);
  const std::uint64_t half = std::uint64_t{1} << (down - 1);
  result = q + ((rest > half || (rest == half && (q & 1U) != 0)) ? 1 : 0);
  return true;
}

// n / 10^power rounded to nearest, exact halves to even.
std::uint64_t divided_by_power_of_ten(std::uint64_t n, int power) {
  const std::uint64_t divisor = kPowersOfTen[power];
  const std::uint64_t q = n / divisor;
  const std::uint64_t twice_rest = 2 * (n % divisor);
  return q + ((twice_rest > divisor || (twice_rest == divisor && (q & 1U) != 0)) ? 1 : 0);
}

// |value| · 10^decimals rounded to an integer, exact halves to even, in double
// arithmetic: the product is exact (the float's 24-bit mantissa times
// 5^decimals stays within 53 bits up to kLargestScale decimals), and adding 2^52
// to a product below 2^52 rounds it to an integer in the default rounding mode,
// to nearest with halves to even, which then stands in the low bits of the sum.
// False from 2^52 on and for decimals outside 0 to kLargestScale.
bool scaled_in_double(float value, int decimals, std::uint64_t& q) {
  if (decimals < 0 || decimals > kLargestScale) return false;
  constexpr double two_to_52 = 4503599627370496.0;
  const double product = std::fabs(static_cast<double>(value)) * kDoublePowersOfTen[decimals];
  if (!(product < two_to_52)) return false;
  q = std::bit_cast<std::uint64_t>(product + two_to_52) - std::bit_cast<std::uint64_t>(two_to_52);
  return true;
}

// |value| · 10^scale rounded; false when beyond the integer paths.
bool scaled_by_power_of_ten(const Binary& b, int scale, std::uint64_t& result) {
  if (scale >= 0) {
    return scale <= kLargestScale &&
           scaled_by_power_of_two(b.mantissa * kPowersOfTen[scale], b.exponent, result);
  }
  if (-scale > kLargestScale || b.exponent < 0) return false;
  std::uint64_t whole = 0;
  if (!scaled_by_power_of_two(b.mantissa, b.exponent, whole)) return false;
  result = divided_by_power_of_ten(whole, -scale);
  return true;
}

// q / 10^decimals in fixed-point form, without a sign, right-justified before `end`.
template <class Unsigned>
void put_fixed_back(char* end, Unsigned q, int decimals) {
  q = put_digits_back(end, q, decimals);
  *--end = '.';  // the point stays even without decimals
  put_number_back(end, q);
}

// The fixed-point field of a finite value by integers; false when the value or
// the number of decimals is beyond them.
bool exact_fixed(char* out, float value, int width, int decimals, bool& overflow) {
  if (decimals > kLargestScale) return false;
  std::uint64_t q = 0;  // |value| · 10^decimals, rounded
  if (!scaled_in_double(value, decimals, q)) {
    const Binary b = binary_of(value);
    if (!scaled_by_power_of_two(b.mantissa * kPowersOfTen[decimals], b.exponent, q)) return false;
  }
  const bool negative = std::signbit(value) && q != 0;  // what rounds to zero has no sign
  const int length = std::max(digit_count(q), decimals + 1) + 1 + (negative ? 1 : 0);
  if (length > width) {
    too_long(out, width, overflow);
    return true;
  }
  // The minus sign goes in the first column of the number; without a sign the
  // first digit lands there afterwards. (Signs of a column of values change at
  // random: a branch on them would be mispredicted half of the time.)
  out[width - length] = '-';
  if (q <= std::numeric_limits<std::uint32_t>::max()) {
    put_fixed_back(out + width, static_cast<std::uint32_t>(q), decimals);
  } else {
    put_fixed_back(out + width, q, decimals);
  }
  return true;
}

// The exponent field "0.dddd" "E±ee" of a finite nonzero value by integers,
// with `digits` significant digits; false when beyond them.
bool exact_exponent(char* out, float value, int width, int digits, bool& overflow) {
  if (digits > 9) return false;
  const Binary b = binary_of(value);
  // First guess of the exponent from the binary one (log10 2 ≈ 78913 / 2^18),
  // corrected below where it misses by one.
  const int binary_exponent = b.exponent + 63 - std::countl_zero(b.mantissa);
  int exponent = ((binary_exponent * 78913) >> 18) + 1;
  std::uint64_t q = 0;  // |value| · 10^(digits - exponent), rounded: `digits` digits
  for (int attempt = 0;; ++attempt) {
    const int scale = digits - exponent;
    if (attempt == 3 || !(scaled_in_double(value, scale, q) || scaled_by_power_of_ten(b, scale, q))) {
      return false;
    }
    if (q >= kPowersOfTen[digits]) {
      ++exponent;  // also a rounding carry: 0.099999 gives 0.1000E+00
    } else if (q < kPowersOfTen[digits - 1]) {
      --exponent;
    } else {
      break;
    }
  }
  const int magnitude = exponent < 0 ? -exponent : exponent;
  const int length = (b.negative ? 1 : 0) + 2 + digits + 2 + std::max(digit_count(magnitude), 2);
  // One column short: the leading 0 goes; shorter still: asterisks.
  if (length > width + 1) {
    too_long(out, width, overflow);
    return true;
  }
  char* end = out + width;
  put_digits_back(end, static_cast<std::uint32_t>(magnitude), std::max(digit_count(magnitude), 2));
  *--end = exponent < 0 ? '-' : '+';
  *--end = 'E';
  put_digits_back(end, static_cast<std::uint32_t>(q), digits);
  *--end = '.';
  if (length <= width) *--end = '0';
  if (b.negative) *--end = '-';
  return true;
}

// Exact decimal conversion by std::to_chars, for what the integer paths leave:
// with a precision it rounds to the nearest decimal, exact halves to even, and
// prints the same digits as the C library's printf.
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

void general_fixed(char* line, float value, int width, int decimals, bool& overflow) {
  thread_local std::string buffer;
  thread_local std::string text;
  text.assign(format_number(buffer, std::chars_format::fixed, decimals, value));
  if (decimals == 0) text.push_back('.');  // the point stays even without decimals
  std::string_view view = text;
  if (view.front() == '-' && all_zero_digits(view)) view.remove_prefix(1);
  fit(line, view, width, overflow);
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

// An exponent text one column too long loses its leading 0; a longer one
// becomes asterisks.
void fit_exponent(char* line, std::string_view text, int width, bool& overflow) {
  if (text.size() != static_cast<std::size_t>(width) + 1) return fit(line, text, width, overflow);
  const std::size_t zero = text.find('0');
  copy(line, text.substr(0, zero));
  copy(line + zero, text.substr(zero + 1));
}

// Zero in an exponent field, without a sign: 0.000…E+00.
void put_exponent_zero(char* line, int width, int decimals, bool& overflow) {
  thread_local std::string text;
  text.assign("0.");
  text.append(static_cast<std::size_t>(decimals), '0');
  text.append("E+00");
  fit_exponent(line, text, width, overflow);
}

void general_exponent(char* line, float value, int width, int decimals, bool& overflow) {
  thread_local std::string buffer;
  thread_local std::string text;
  text.clear();
  build_exponent_text(format_number(buffer, std::chars_format::scientific, decimals - 1, value),
                      text);
  fit_exponent(line, text, width, overflow);
}

}  // namespace

void put_integer(char* out, std::int32_t value, int width, bool& overflow) {
  const bool negative = value < 0;
  const auto magnitude = static_cast<std::uint32_t>(negative ? -static_cast<std::int64_t>(value) : value);
  if (digit_count(magnitude) + (negative ? 1 : 0) > width) return too_long(out, width, overflow);
  char* end = out + width;
  put_number_back(end, magnitude);
  if (negative) *--end = '-';
}

void put_text(char* out, std::string_view value, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) return copy(out, value.substr(0, w));
  copy(out + (w - value.size()), value);
}

void put_fixed(char* out, float value, int width, int decimals, bool& overflow) {
  if (!std::isfinite(value)) return put_non_finite(out, value, width);
  if (!exact_fixed(out, value, width, decimals, overflow)) {
    general_fixed(out, value, width, decimals, overflow);
  }
}

void put_exponent(char* out, float value, int width, int decimals, bool& overflow) {
  if (decimals < 1) throw std::invalid_argument("exponent field needs at least one digit");
  if (!std::isfinite(value)) return put_non_finite(out, value, width);
  if (value == 0.0F) return put_exponent_zero(out, width, decimals, overflow);  // also -0.0
  if (!exact_exponent(out, value, width, decimals, overflow)) {
    general_exponent(out, value, width, decimals, overflow);
  }
}

namespace {

// A field of its own: `width` characters written by `put` into blanks.
template <class Put>
std::string field_of(int width, Put&& put) {
  std::string field(static_cast<std::size_t>(width), ' ');
  put(field.data());
  return field;
}

}  // namespace

std::string render_integer(std::int32_t value, int width, bool& overflow) {
  return field_of(width, [&](char* out) { put_integer(out, value, width, overflow); });
}

std::string render_text(std::string_view value, int width) {
  return field_of(width, [&](char* out) { put_text(out, value, width); });
}

std::string render_fixed(float value, int width, int decimals, bool& overflow) {
  return field_of(width, [&](char* out) { put_fixed(out, value, width, decimals, overflow); });
}

std::string render_exponent(float value, int width, int decimals, bool& overflow) {
  return field_of(width, [&](char* out) { put_exponent(out, value, width, decimals, overflow); });
}

}  // namespace wsphere::textio
