// Conversion of numeric values: accepted forms, the split between bad bytes
// and bad numbers, single rounding, overflow and underflow, 32-bit limits.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "textio/number_parse.hpp"

namespace wsphere::textio {
namespace {

using Fault = NumberFault;

struct RealCase {
  std::string text;
  float value;  // compared bit for bit, so the sign of zero counts
  Fault fault;
};

TEST(NumberParseReal, FormsRoundingAndRange) {
  const Fault ok = Fault::none;
  const Fault bad = Fault::bad_character;
  const Fault nan = Fault::not_a_number;
  const std::vector<RealCase> cases = {
      {"1", 1.0F, ok}, {"1.", 1.0F, ok}, {".5", 0.5F, ok}, {"-2.75", -2.75F, ok},
      {"+.5e-0", 0.5F, ok}, {"1.5E-3", 1.5E-3F, ok}, {"1d3", 1000.0F, ok},
      {"1.5D+2", 150.0F, ok}, {"2q1", 20.0F, ok}, {"1.e2", 100.0F, ok}, {"-0", -0.0F, ok},
      // ties go to even; a decimal just above a tie must not be rounded twice
      {"16777217", 16777216.0F, ok}, {"16777219", 16777220.0F, ok},
      {"1.00000005960464477539062501", 0x1.000002p0F, ok},
      {"3.4028235e38", 0x1.fffffep127F, ok}, {"3.4028236e38", 0.0F, nan},
      {"-1e39", 0.0F, nan}, {"1e99999999999999999999", 0.0F, nan},
      {"1e-40", 1e-40F, ok}, {"8e-46", 0x1p-149F, ok}, {"1e-46", 0.0F, ok},
      {"-1e-46", -0.0F, ok}, {"-1e-99999999999999999999", -0.0F, ok}, {"0e99999999", 0.0F, ok},
      {"1e5e", 0.0F, bad}, {"1d5E", 0.0F, bad}, {"1*2", 0.0F, bad}, {"1\r", 0.0F, bad},
      {"1+2", 0.0F, nan}, {"1e+", 0.0F, nan}, {"+e5", 0.0F, nan}, {".e5", 0.0F, nan},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedNumber<float> parsed = parse_real(c.text);
    EXPECT_EQ(parsed.fault, c.fault);
    if (c.fault == Fault::none) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(parsed.value), std::bit_cast<std::uint32_t>(c.value));
    }
  }
}

// Plain decimals of every length around the short cut for small ones (nine
// digits, 2^24): the same float as the library's correctly rounded reading.
TEST(NumberParseReal, PlainDecimalsMatchTheLibrary) {
  std::mt19937_64 random(20261209);
  for (int k = 0; k < 200000; ++k) {
    const int length = 1 + static_cast<int>(random() % 11);
    std::string text = random() % 2 == 0 ? "-" : "";
    const int point = static_cast<int>(random() % static_cast<unsigned>(length + 2)) - 1;
    for (int d = 0; d < length; ++d) {
      if (d == point) text += '.';
      // Mostly small leading digits, so that values near 2^24 = 16777216 come up.
      text += static_cast<char>('0' + random() % (d == 0 && random() % 2 == 0 ? 2 : 10));
    }
    if (point == length) text += '.';
    SCOPED_TRACE(text);
    float expected = 0.0F;
    const char* begin = text.data() + (text[0] == '-' ? 1 : 0);
    std::from_chars(begin, text.data() + text.size(), expected);
    if (text[0] == '-') expected = -expected;
    const ParsedNumber<float> parsed = parse_real(text);
    ASSERT_EQ(parsed.fault, Fault::none);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(parsed.value), std::bit_cast<std::uint32_t>(expected));
  }
  for (const char* text : {"16777216", "16777217", "1677721.7", "-.16777217", "0.000000001",
                           "999999999", "9.99999999", "-0.", "-0000", "1.6777215",
                           // Zeros ending the fraction, dropped before the 2^24 limit.
                           "101.117000", "1677721.60", "16777.2170", "-0.00000000", "100.000000",
                           "167772.170", "1.67772170"}) {
    SCOPED_TRACE(text);
    float expected = 0.0F;
    const std::string_view view(text);
    const std::size_t sign = view[0] == '-' ? 1 : 0;
    std::string plain = "0";  // a leading zero also gives ".5" its whole part
    plain += view.substr(sign);
    std::from_chars(plain.data(), plain.data() + plain.size(), expected);
    if (sign != 0) expected = -expected;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(parse_real(text).value), std::bit_cast<std::uint32_t>(expected));
  }
}

struct IntegerCase {
  std::string text;
  std::int32_t value;
  Fault fault;
};

TEST(NumberParseInteger, DigitsRealsAndLimits) {
  const Fault ok = Fault::none;
  const Fault nan = Fault::not_a_number;
  const std::vector<IntegerCase> cases = {
      {"+42", 42, ok}, {"-0", 0, ok}, {"000000000000000000012", 12, ok},
      {"2147483647", 2147483647, ok}, {"-2147483648", -2147483647 - 1, ok},
      {"-2147483649", 0, nan}, {"99999999999999999999", 0, nan},
      {"1.", 1, ok}, {"-.5", 0, ok}, {"1e-400", 0, ok}, {"2147483647.9", 2147483647, ok},
      {"0.99999999999999999999", 1, ok},  // the nearest double is 1
      {"-2147483648.9", -2147483647 - 1, ok}, {"2147483648.0", 0, nan},
      {"-2.147483649e9", 0, nan}, {"1e400", 0, nan},
      {"12a", 0, Fault::bad_character}, {"D2", 0, Fault::bad_character}, {"5e", 0, nan},
      // Up to nine digits take the short path, ten and more the general one.
      {"999999999", 999999999, ok}, {"-999999999", -999999999, ok},
      {"1000000000", 1000000000, ok}, {"-0000000001", -1, ok}, {"7", 7, ok},
      {"-", 0, nan}, {"", 0, nan}, {"5-", 0, nan}, {"-+5", 0, nan}, {"1 ", 0, Fault::bad_character},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedNumber<std::int32_t> parsed = parse_integer(c.text);
    EXPECT_EQ(parsed.fault, c.fault);
    if (c.fault == Fault::none) {
      EXPECT_EQ(parsed.value, c.value);
    }
  }
}

}  // namespace
}  // namespace wsphere::textio
