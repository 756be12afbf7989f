// Field rendering of report values: fixed, exponent, integer and text fields,
// including rounding ties, signs of zero, non-finite values and overflow.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

struct RealCase {
  float value;
  int width;
  int decimals;
  std::string expected;
  bool overflow;
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.value << " in " << c.width << "." << c.decimals << " -> '" << c.expected << "'";
}

class FixedField : public testing::TestWithParam<RealCase> {};

TEST_P(FixedField, Renders) {
  const RealCase& c = GetParam();
  bool overflow = false;
  EXPECT_EQ(render_fixed(c.value, c.width, c.decimals, overflow), c.expected);
  EXPECT_EQ(overflow, c.overflow);
}

INSTANTIATE_TEST_SUITE_P(Values, FixedField, testing::Values(
    RealCase{0.5F, 8, 5, " 0.50000", false},
    RealCase{-0.25F, 8, 5, "-0.25000", false},
    RealCase{123.0F, 8, 5, "********", true},
    RealCase{100.0F, 5, 2, "*****", true},
    RealCase{100.0F, 6, 2, "100.00", false},
    RealCase{-100.0F, 6, 2, "******", true},
    // Ties go to the even digit only for exactly representable halves.
    RealCase{0.125F, 6, 2, "  0.12", false},
    RealCase{0.375F, 6, 2, "  0.38", false},
    RealCase{12.625F, 6, 2, " 12.62", false},
    RealCase{0.015F, 6, 2, "  0.01", false},  // binary value lies below the half
    RealCase{99.995F, 5, 2, "*****", true},   // carry into a new integer digit
    // Zero and anything that rounds to zero carry no sign.
    RealCase{-0.0F, 10, 5, "   0.00000", false},
    RealCase{-0.000001F, 8, 5, " 0.00000", false},
    RealCase{-0.004F, 5, 2, " 0.00", false},
    RealCase{-0.006F, 5, 2, "-0.01", false},
    RealCase{7.5F, 3, 0, " 8.", false},
    RealCase{nan, 10, 5, " NaN      ", false},
    RealCase{-nan, 10, 5, " NaN      ", false},
    RealCase{inf, 10, 5, " Infinity ", false},
    RealCase{-inf, 10, 5, " -Infinity", false},
    RealCase{inf, 6, 2, "******", false},
    RealCase{-inf, 5, 2, "*****", false},
    RealCase{nan, 5, 2, " NaN ", false},
    RealCase{3.4e38F, 8, 3, "********", true}));

class ExponentField : public testing::TestWithParam<RealCase> {};

TEST_P(ExponentField, Renders) {
  const RealCase& c = GetParam();
  bool overflow = false;
  EXPECT_EQ(render_exponent(c.value, c.width, c.decimals, overflow), c.expected);
  EXPECT_EQ(overflow, c.overflow);
}

INSTANTIATE_TEST_SUITE_P(Values, ExponentField, testing::Values(
    RealCase{0.0F, 14, 4, "    0.0000E+00", false},
    RealCase{-0.0F, 14, 4, "    0.0000E+00", false},
    RealCase{12.34F, 14, 4, "    0.1234E+02", false},
    RealCase{-0.000123456F, 14, 4, "   -0.1235E-03", false},
    RealCase{0.099999F, 14, 4, "    0.1000E+00", false},  // carry raises the exponent
    RealCase{999999.0F, 14, 4, "    0.1000E+07", false},
    RealCase{3.4028235e38F, 14, 4, "    0.3403E+39", false},
    RealCase{1.4e-45F, 14, 4, "    0.1401E-44", false},
    RealCase{0.5F, 8, 1, " 0.5E+00", false},
    // One column short: the leading 0 goes; shorter still: asterisks.
    RealCase{12.34F, 9, 4, ".1234E+02", false},
    RealCase{-12.34F, 10, 4, "-.1234E+02", false},
    RealCase{12.34F, 8, 4, "********", true},
    RealCase{0.0F, 9, 4, ".0000E+00", false},
    RealCase{nan, 14, 4, " NaN          ", false},
    RealCase{-inf, 14, 4, " -Infinity    ", false}));

struct IntegerCase {
  std::int32_t value;
  int width;
  std::string expected;
  bool overflow;
};

class IntegerField : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerField, Renders) {
  const IntegerCase& c = GetParam();
  bool overflow = false;
  EXPECT_EQ(render_integer(c.value, c.width, overflow), c.expected);
  EXPECT_EQ(overflow, c.overflow);
}

INSTANTIATE_TEST_SUITE_P(Values, IntegerField, testing::Values(
    IntegerCase{0, 4, "   0", false},
    IntegerCase{99999, 5, "99999", false},
    IntegerCase{100000, 5, "*****", true},
    IntegerCase{-9999, 5, "-9999", false},
    IntegerCase{-10000, 5, "*****", true},
    IntegerCase{std::numeric_limits<std::int32_t>::min(), 11, "-2147483648", false}));

TEST(TextField, PadsShortValuesLeftAndCutsLongOnes) {
  EXPECT_EQ(render_text("O1    ", 6), "O1    ");
  EXPECT_EQ(render_text("Si", 6), "    Si");
  EXPECT_EQ(render_text("Si1234", 4), "Si12");
}

TEST(FieldOverflowFlag, IsOnlyEverRaised) {
  bool overflow = true;
  render_fixed(1.0F, 8, 5, overflow);
  render_integer(1, 4, overflow);
  EXPECT_TRUE(overflow);
}

}  // namespace
}  // namespace wsphere::textio
