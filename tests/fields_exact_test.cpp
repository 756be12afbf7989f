// The integer fast paths of the fixed and exponent fields against the C
// library's exact conversion, on random bit patterns, exact binary halves and
// values near powers of ten, in the program's field shapes and beyond them.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

std::string fitted(std::string text, int width, bool& overflow) {
  if (text.size() > static_cast<std::size_t>(width)) {
    overflow = true;
    return std::string(static_cast<std::size_t>(width), '*');
  }
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// printf's fixed-point text under the field rules.
std::string reference_fixed(float value, int width, int decimals, bool& overflow) {
  std::string text(512, '\0');
  text.resize(static_cast<std::size_t>(
      std::snprintf(text.data(), text.size(), "%.*f", decimals, static_cast<double>(value))));
  if (decimals == 0) text += '.';
  if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
  return fitted(text, width, overflow);
}

// printf's exponent text rebuilt as 0.dddd E±ee under the field rules.
std::string reference_exponent(float value, int width, int decimals, bool& overflow) {
  char printed[128];
  std::snprintf(printed, sizeof printed, "%.*e", decimals - 1, static_cast<double>(value));
  const std::string p = printed;
  const std::size_t e = p.find('e');
  const int exponent = std::stoi(p.substr(e + 1)) + 1;
  std::string text = p[0] == '-' ? "-0." : "0.";
  for (std::size_t i = p[0] == '-' ? 1 : 0; i < e; ++i) {
    if (p[i] != '.') text += p[i];
  }
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  text += tail;
  if (text.size() > static_cast<std::size_t>(width)) text.erase(text.find('0'), 1);
  return fitted(text, width, overflow);
}

struct Shape {
  int width;
  int decimals;
};

class Values {
 public:
  float next() {
    switch (std::uniform_int_distribution<int>(0, 3)(engine_)) {
      case 0: {  // any finite bit pattern
        float v;
        do v = std::bit_cast<float>(static_cast<std::uint32_t>(engine_())); while (!std::isfinite(v));
        return v;
      }
      case 1: {  // exact binary fractions: many ties
        const auto n = static_cast<float>(std::uniform_int_distribution<int>(-200000, 200000)(engine_));
        return std::ldexp(n, -std::uniform_int_distribution<int>(0, 16)(engine_));
      }
      case 2: {  // next to a power of ten
        const float p = std::pow(10.0f, static_cast<float>(std::uniform_int_distribution<int>(-12, 12)(engine_)));
        const int steps = std::uniform_int_distribution<int>(-3, 3)(engine_);
        return std::nextafter(p, steps < 0 ? 0.0f : 1e30f) * (engine_() % 2 ? 1.0f : -1.0f);
      }
      default:  // the report's usual magnitudes
        return static_cast<float>(std::uniform_real_distribution<double>(-20.0, 20.0)(engine_));
    }
  }

 private:
  std::mt19937 engine_{1251};
};

using Renderer = std::string (*)(float value, int width, int decimals, bool& overflow);

// The field of `v` as `render` gives it and as the C library's `reference` does.
void expect_library(Renderer render, Renderer reference, char letter, float v, const Shape& s) {
  bool overflow = false;
  bool expected_overflow = false;
  EXPECT_EQ(render(v, s.width, s.decimals, overflow), reference(v, s.width, s.decimals, expected_overflow))
      << std::hexfloat << v << ' ' << letter << s.width << '.' << s.decimals;
  EXPECT_EQ(overflow, expected_overflow);
}

void expect_library_fixed(float v, const Shape& s) {
  expect_library(render_fixed, reference_fixed, 'F', v, s);
}

void expect_library_exponent(float v, const Shape& s) {
  expect_library(render_exponent, reference_exponent, 'E', v, s);
}

TEST(ExactFields, FixedFieldsMatchTheLibraryConversion) {
  const Shape shapes[] = {{8, 5}, {8, 3}, {10, 5}, {6, 2}, {5, 2}, {3, 0}, {24, 11}, {40, 12}};
  Values values;
  for (int n = 0; n < 100000 && !HasFailure(); ++n) {
    const float v = values.next();
    for (const Shape& s : shapes) expect_library_fixed(v, s);
  }
}

TEST(ExactFields, ExponentFieldsMatchTheLibraryConversion) {
  const Shape shapes[] = {{14, 4}, {10, 1}, {9, 4}, {20, 9}, {25, 12}};
  Values values;
  for (int n = 0; n < 100000 && !HasFailure(); ++n) {
    const float v = values.next();
    if (v == 0.0f) continue;
    for (const Shape& s : shapes) expect_library_exponent(v, s);
  }
}

// Where the fixed field changes its way of rounding (a scaled value of 2^52)
// or the length of its text (rounding carries at the field's overflow
// boundary), exact decimal halves and the smallest floats, both signs, against
// the library.
TEST(ExactFields, FixedFieldsAtTheirBoundariesMatchTheLibraryConversion) {
  std::vector<float> values{std::numeric_limits<float>::denorm_min(), 3 * std::numeric_limits<float>::denorm_min(),
                            std::numeric_limits<float>::min(), std::numeric_limits<float>::max()};
  const auto around = [&](double x) {
    float v = static_cast<float>(x);
    for (int k = 0; k < 4; ++k) v = std::nextafter(v, 0.0f);
    for (int k = 0; k < 9; ++k, v = std::nextafter(v, 1e38f)) values.push_back(v);
  };
  std::vector<Shape> shapes{{8, 5}, {8, 3}, {10, 5}, {6, 2}, {5, 2}, {3, 0}};
  for (int d = 0; d <= 12; ++d) {
    shapes.push_back({60, d});
    around(std::ldexp(1.0, 52) / std::pow(10.0, d));  // |value| · 10^d near 2^52
    for (int k = 0; k < 40; ++k) values.push_back(static_cast<float>((k + 0.5) / std::pow(10.0, d)));
  }
  for (const Shape& s : shapes) {  // the largest value the field holds, rounded
    around(std::pow(10.0, s.width - s.decimals - 1) - 0.5 / std::pow(10.0, s.decimals));
    around(std::pow(10.0, s.width - s.decimals - 2) - 0.5 / std::pow(10.0, s.decimals));
  }
  for (const float magnitude : values) {
    for (const float v : {magnitude, -magnitude}) {
      for (const Shape& s : shapes) expect_library_fixed(v, s);
      if (HasFailure()) return;
    }
  }
}

// A fixed field that its number fills, or nearly fills, keeps its sign and
// its digits inside its columns.
TEST(ExactFields, FixedFieldsFilledToTheirEdges) {
  struct Case {
    float value;
    int width;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {
      {1234.5f, 6, 1, "1234.5"},    {-234.5f, 6, 1, "-234.5"}, {-34.5f, 6, 1, " -34.5"},
      {0.125f, 4, 2, "0.12"},       {-0.375f, 5, 2, "-0.38"},  {-0.004f, 4, 2, "0.00"},
      {-2.5f, 3, 0, "-2."},         {9.99999f, 7, 5, "9.99999"}, {-9.999996f, 9, 5, "-10.00000"},
      {-9.999996f, 8, 5, "********"}, {9.999996f, 8, 5, "10.00000"}, {0.0f, 7, 5, "0.00000"},  {-0.0f, 8, 5, " 0.00000"},
  };
  for (const Case& c : cases) {
    std::string line(static_cast<std::size_t>(c.width) + 2, ' ');
    line.front() = line.back() = '#';
    bool overflow = false;
    put_fixed(line.data() + 1, c.value, c.width, c.decimals, overflow);
    EXPECT_EQ(line.substr(1, line.size() - 2), c.expected) << c.value << " F" << c.width << '.' << c.decimals;
    EXPECT_EQ(line.front() + std::string() + line.back(), "##") << c.value;
    EXPECT_EQ(overflow, c.expected[0] == '*') << c.value;
  }
}

// Values beyond the integer path in a field without decimals, many times over:
// each statement must start from the same working buffer, not a longer one.
TEST(ExactFields, RepeatedHugeValuesWithoutDecimalsKeepTheirText) {
  const std::string expected = " 340282346638528859811704183484516925440.";
  for (int n = 0; n < 100; ++n) {
    bool overflow = false;
    ASSERT_EQ(render_fixed(3.4028235e38f, 41, 0, overflow), expected) << n;
    EXPECT_FALSE(overflow);
  }
}

// Writers get blank fields and write nothing outside them.
TEST(ExactFields, WritersStayInsideTheirFields) {
  std::string line = "##" + std::string(33, ' ') + "#####";
  bool overflow = false;
  put_fixed(line.data() + 2, 1.5f, 8, 5, overflow);
  put_exponent(line.data() + 10, 0.25f, 14, 4, overflow);
  put_integer(line.data() + 24, 42, 5, overflow);
  put_text(line.data() + 29, "O1", 6);
  EXPECT_EQ(line, "## 1.50000    0.2500E+00   42    O1#####");
  EXPECT_FALSE(overflow);
}

}  // namespace
}  // namespace wsphere::textio
