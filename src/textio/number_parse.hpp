// Conversion of the text of one numeric input value into an integer or a
// single-precision real.
#pragma once

#include <cstdint>
#include <string_view>

namespace wsphere::textio {

enum class NumberFault {
  none,
  bad_character,  // a byte outside digits, signs, one point and one exponent letter
  not_a_number,   // acceptable bytes that form no number of the item's type
};

template <typename T>
struct ParsedNumber {
  T value{};
  NumberFault fault = NumberFault::none;
};

// Form: [+-] (digits [. [digits]] | . digits) [(E|D|Q) [+-] digits], exponent
// letters in either case. Rounded once to the nearest single, ties to even; a
// magnitude beyond the largest finite single is not_a_number, a tiny one
// becomes the nearest subnormal or a signed zero.
ParsedNumber<float> parse_real(std::string_view text);

// Sign and digits give the integer itself; with a point or an exponent the
// value is taken to the nearest double and truncated toward zero. Anything
// outside 32 bits is not_a_number.
ParsedNumber<std::int32_t> parse_integer(std::string_view text);

}  // namespace wsphere::textio
