// Layout parsing, Windows-1251 conversion of literals, and the lines that
// report statements produce.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

using Kind = LayoutItem::Kind;

std::vector<Kind> kinds(const Layout& layout) {
  std::vector<Kind> out;
  for (const LayoutItem& item : layout.items()) out.push_back(item.kind);
  return out;
}

TEST(LayoutParse, ExpandsNestedGroups) {
  const Layout layout(" 2( 1X , 2(I1,\"a\") ) ");
  const std::vector<Kind> once{Kind::skip, Kind::integer, Kind::literal, Kind::integer,
                               Kind::literal};
  std::vector<Kind> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(kinds(layout), twice);
}

TEST(LayoutParse, ReadsWidthsDecimalsAndLiterals) {
  const Layout layout(R"(E14.4,F8.5,A6,5X,"a, ""b"" ",/)");
  const auto& items = layout.items();
  ASSERT_EQ(items.size(), 6U);
  EXPECT_EQ(items[0].width, 14);
  EXPECT_EQ(items[0].decimals, 4);
  EXPECT_EQ(items[1].decimals, 5);
  EXPECT_EQ(items[2].width, 6);
  EXPECT_EQ(items[3].width, 5);
  EXPECT_EQ(items[4].bytes, "a, \"b\" ");
  EXPECT_EQ(items[5].kind, Kind::slash);
}

TEST(LayoutParse, ConvertsLiteralsToCp1251) {
  EXPECT_EQ(Layout(R"("имя")").items().at(0).bytes, "\xE8\xEC\xFF");
}

TEST(LayoutParse, RejectsMalformedLayouts) {
  for (const char* text : {"I", "F8", "F8.", "E14.0", "\"abc", "3(I4", "I4)", "0X", "I4,,I4",
                           "Q5", "5", "I4 I4", "2()", "I4,", "\"€\""}) {
    EXPECT_THROW(Layout{text}, std::invalid_argument) << text;
  }
}

TEST(Cp1251, MapsAsciiAndCyrillic) {
  EXPECT_EQ(to_cp1251("no.,W - 1"), "no.,W - 1");
  EXPECT_EQ(to_cp1251("Координаты"), "\xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xFB");
  EXPECT_EQ(to_cp1251("АяЁё"), "\xC0\xFF\xA8\xB8");
}

TEST(Cp1251, RejectsOtherCharactersAndBrokenText) {
  for (const char* text : {"é", "€", "\xD0", "\xC0\x80", "\xD0\x41", "\xBA"}) {
    EXPECT_THROW(to_cp1251(text), std::invalid_argument) << text;
  }
}

struct RecordingSink : WholeLineSink<> {
  std::string text;
  int overflows = 0;
  void put_line(std::string_view line) override { text.append(line); }
  void field_overflow() override { ++overflows; }
};

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

struct StatementCase {
  const char* name;
  const char* layout;
  std::vector<ReportValue> values;
  std::string expected;  // every line with its CR LF
  int overflows = 0;
};

void PrintTo(const StatementCase& c, std::ostream* os) { *os << c.name; }

class ReportStatement : public testing::TestWithParam<StatementCase> {};

TEST_P(ReportStatement, WritesLines) {
  const StatementCase& c = GetParam();
  RecordingSink sink;
  ReportWriter writer(sink);
  writer.write(Layout(c.layout), c.values);
  EXPECT_EQ(sink.text, c.expected);
  EXPECT_EQ(sink.overflows, c.overflows);
}

const char* const row = "5X,I8,3X,A6,3X,3(F8.5,2X)";

INSTANTIATE_TEST_SUITE_P(Layouts, ReportStatement, testing::Values(
    // 53 characters: the final 2X of the group writes nothing.
    StatementCase{"row", row, {1, "O1    ", 0.5F, -0.25F, 0.125F},
        "            1   O1        0.50000  -0.25000   0.12500\r\n"},
    StatementCase{"slash", "/", {}, "\r\n\r\n"},
    StatementCase{"two_slashes", "/,/", {}, "\r\n\r\n\r\n"},
    StatementCase{"heading", R"(/,/,"x")", {}, "\r\n\r\nx\r\n"},
    StatementCase{"framed", R"(/,2X,"x",/)", {}, "\r\n  x\r\n\r\n"},
    StatementCase{"skip_only", "5X", {}, "\r\n"},
    StatementCase{"trailing_skip", R"(2("ab",2X))", {}, "ab  ab\r\n"},
    StatementCase{"literal_after_data", R"(1X,I5,7X,A6,10X,F10.5,5X,F6.2," %")",
        {7, "Si1   ", 0.0123F, 12.5F}, "     7       Si1                0.01230      12.50 %\r\n"},
    // Missing values stop the walk at the first data item without one.
    StatementCase{"short_row", R"(I2,"|",I2,"|")", {1}, " 1|\r\n"},
    StatementCase{"short_after_slash", "I2,/,I2", {1}, " 1\r\n\r\n"},
    StatementCase{"no_values", R"("a",I2,"b")", {}, "a\r\n"},
    StatementCase{"exponent_row", "5X,F8.3,5X,E14.4", {1.5F, -0.000123456F},
        "        1.500        -0.1235E-03\r\n"},
    // Overflow is reported once per statement, and never for NaN or infinity.
    StatementCase{"two_overflows", "I2,F5.2,E9.4", {100, 100.0F, 1.0F}, "*******.1000E+01\r\n", 1},
    StatementCase{"exponent_overflow", "E7.4", {1.0F}, "*******\r\n", 1},
    StatementCase{"non_finite_no_overflow", "F5.2,F2.1", {nan, -nan}, " NaN **\r\n", 0}));

TEST(ReportStatement, CyrillicLiteralsAreWrittenInCp1251) {
  RecordingSink sink;
  ReportWriter writer(sink);
  const Layout layout(R"(2X,"атом ",1X,A6," : ","среднее W - ",F10.5,3X,"сигма - ",F10.5)");
  writer.write(layout, {"Si", nan, -0.0F});
  EXPECT_EQ(sink.text, to_cp1251("  атом      Si : среднее W -  NaN         сигма -    0.00000\r\n"));
  EXPECT_EQ(sink.overflows, 0);
}

TEST(ReportStatement, EveryStatementStartsAFreshLineAndCountsItsOwnOverflow) {
  RecordingSink sink;
  ReportWriter writer(sink);
  const Layout layout("2X,F5.2");
  writer.write(layout, {100.0F});
  writer.write(layout, {1.0F});
  writer.write(layout, {-100.0F});
  EXPECT_EQ(sink.text, "  *****\r\n   1.00\r\n  *****\r\n");
  EXPECT_EQ(sink.overflows, 2);
}

TEST(ReportStatement, RejectsAValueOfTheWrongKind) {
  RecordingSink sink;
  ReportWriter writer(sink);
  EXPECT_THROW(writer.write(Layout("I4"), {1.0F}), std::invalid_argument);
}

}  // namespace
}  // namespace wsphere::textio
