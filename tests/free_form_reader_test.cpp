// The free-form reader end to end: lines, separators, nulls, slashes, repeat
// counts, quoted and plain text, numeric failures and lazy reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/condition.hpp"
#include "textio/free_form_reader.hpp"

namespace wsphere::textio {
namespace {

constexpr int kUnit = 3;

// Hands out one piece per call; past the last piece it returns 0, or, when
// `blocks` is set, throws as a pipe whose writer has written no more would block.
class PieceSource : public ByteSource {
 public:
  PieceSource(std::vector<std::string> pieces, bool blocks) : pieces_(std::move(pieces)), blocks_(blocks) {}
  std::size_t read(char* buffer, std::size_t size) override {
    if (next_ == pieces_.size() && blocks_) throw std::runtime_error("blocked");
    return next_ == pieces_.size() ? 0 : pieces_[next_++].copy(buffer, size);
  }

 private:
  std::vector<std::string> pieces_;
  bool blocks_;
  std::size_t next_ = 0;
};

std::string show_text(const char* bytes, std::size_t length) {
  std::string shown = "[";
  for (const char c : std::string_view(bytes, length)) {
    shown += c == '\0' ? "~" : c == '\r' ? "^M" : std::string(1, c);
  }
  return shown + "]";
}

// Reads one item of kind i (integer), r (real), c (one character) or
// n (six characters) from a starting value of -1, -1.5 or zero bytes.
std::string read_item(FreeFormReader& reader, char kind) {
  if (kind == 'i') {
    std::int32_t value = -1;
    reader.read(value);
    return std::to_string(value);
  }
  if (kind == 'r') {
    float value = -1.5F;
    reader.read(value);
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.9g", static_cast<double>(value));
    return shown;
  }
  char text[6] = {};
  const std::size_t length = kind == 'c' ? 1 : 6;
  reader.read_text(text, length);
  return show_text(text, length);
}

// Runs one statement per entry of `statements` and lists the values, statements
// separated by " |"; a failure ends the list with "E<message>@<unit>".
std::string transcript(ByteSource& source, const std::vector<std::string>& statements) {
  FreeFormReader reader(source, kUnit);
  std::string out;
  try {
    for (const std::string& items : statements) {
      reader.begin_statement();
      for (char kind : items) out += read_item(reader, kind) + " ";
      out += "| ";
    }
  } catch (const Fatal& fatal) {
    out += "E" + std::to_string(static_cast<int>(fatal.msg())) + "@" + std::to_string(fatal.unit());
  }
  return out;
}

struct Case {
  std::string input;
  std::vector<std::string> statements;
  std::string expected;
};

// Every case is read once from memory and once a byte at a time.
void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    MemorySource memory(c.input);
    EXPECT_EQ(transcript(memory, c.statements), c.expected);
    std::vector<std::string> bytes;
    for (const char b : c.input) bytes.emplace_back(1, b);
    PieceSource trickle(bytes, false);
    EXPECT_EQ(transcript(trickle, c.statements), c.expected);
  }
}

TEST(FreeFormReaderLines, EndsOfLinesAndFile) {
  check({
      {"", {"i"}, "E24@3"},
      {"1 2\r\n3\r\n", {"ii", "i"}, "1 2 | 3 | "},
      {"1 2\n3\n", {"ii", "i"}, "1 2 | 3 | "},
      {"1\n2", {"i", "i"}, "1 | 2 | "},
      {"1\n", {"i", "i"}, "1 | E24@3"},
      {"1\n\n  \t\n2\n", {"ii"}, "1 2 | "},
      {"1\n", {"ii"}, "1 E24@3"},
      {"ab\rcd\n", {"n"}, "[ab^Mcd ] | "},
      {"1\r2\n", {"i"}, "E59@3"},
      {"ab\r", {"n"}, "[ab^M   ] | "},
      {"7\r", {"i"}, "E59@3"},
      {"1 2 3\n4 5\n6\n", {"i", "iii", "i"}, "1 | 4 5 6 | E24@3"},
      {"1 2\n3 4 5\n6\n", {"iii", "i"}, "1 2 3 | 6 | "},
  });
}

TEST(FreeFormReaderSeparators, BlanksTabsCommas) {
  check({
      {"1.5,2.5 3.5\n", {"rrr"}, "1.5 2.5 3.5 | "},
      {"1\t2 ,\t3 , 4\n", {"iiii"}, "1 2 3 4 | "},
      {"1 2 3 4 5 6\n", {"rrrrrr"}, "1 2 3 4 5 6 | "},
      {"1 2\n3\n\n4 5\n6\n", {"rrrrrr"}, "1 2 3 4 5 6 | "},
      {"1 2 3 4\n", {"rr", "r"}, "1 2 | E24@3"},
  });
}

TEST(FreeFormReaderNulls, CommasLineEndsAndSlash) {
  check({
      {",2\n", {"ii"}, "-1 2 | "},
      {" , ,3\n", {"iii"}, "-1 -1 3 | "},
      {"1,,3\n", {"iii"}, "1 -1 3 | "},
      {"1, \t ,3\n", {"iii"}, "1 -1 3 | "},
      {"1\n,2\n", {"ii"}, "1 2 | "},
      {"1,\n,2\n", {"iii"}, "1 -1 2 | "},
      {"1,\n\n2\n", {"ii"}, "1 2 | "},
      {",\n", {"n"}, "[~~~~~~] | "},
      {"1 / 2\n3\n", {"iii", "i"}, "1 -1 -1 | 3 | "},
      {"1,/\n", {"ir"}, "1 -1.5 | "},
      {"1\n/\n", {"i", "i"}, "1 | -1 | "},
      {"/\n", {"n"}, "[~~~~~~] | "},
  });
}

TEST(FreeFormReaderRepeats, CountsNullsAndLimits) {
  check({
      {"3*0.25\n", {"rrr"}, "0.25 0.25 0.25 | "},
      {"2* 5\n", {"iii"}, "-1 -1 5 | "},
      {"2*,5\n", {"iii"}, "-1 -1 5 | "},
      {"2*1.5\n", {"ir"}, "1 1.5 | "},
      {"3*ab\n", {"cn"}, "[a] [ab    ] | "},
      {"2*'x y'\n", {"nn"}, "[x y   ] [x y   ] | "},
      {"2*'x'\n", {"i"}, "E59@3"},
      {"2*'x'\n", {"ci"}, "[x] E59@3"},
      {"2*5\n7\n", {"i", "i"}, "5 | 7 | "},
      {"2*/\n", {"iii"}, "-1 -1 -1 | "},
      {"2147483647*4\n", {"i"}, "4 | "},
      {"0*5\n", {"i"}, "E59@3"},
      {"2147483648*5\n", {"i"}, "E59@3"},
      {"99999999999999999999*5\n", {"n"}, "E59@3"},
      {"+2*5\n", {"i"}, "E59@3"},
      {"+2*5\n", {"n"}, "[+2*5  ] | "},
      // An asterisk after something other than digits makes no count.
      {"1.5*2\n", {"r"}, "E59@3"},
      {"a*b 7\n", {"ni"}, "[a*b   ] 7 | "},
      {"5 2*\n", {"iii"}, "5 -1 -1 | "},
      {"12*3,4\n", {"ii", "i"}, "3 3 | E24@3"},
      // After the repeats, values are read one by one again.
      {"2*5 7\n", {"iii"}, "5 5 7 | "},
      {"2*ab cd\n", {"nnn"}, "[ab    ] [ab    ] [cd    ] | "},
      // A quotation mark inside a number is a bad byte, inside text a byte.
      {"1'2\n", {"i"}, "E59@3"},
      {"1\"2 3\n", {"rr"}, "E59@3"},
      {"O'1 5\n", {"ni"}, "[O'1   ] 5 | "},
  });
}

TEST(FreeFormReaderText, QuotedAndPlainValues) {
  check({
      {"'it''s'\n", {"n"}, "[it's  ] | "},
      {"\"say \"\"hi\"\"\"\n", {"n"}, "[say \"h] | "},
      {"\"it's\"\n", {"n"}, "[it's  ] | "},
      {"'ab\ncd'\n", {"n"}, "[abcd  ] | "},
      {"'ab'\n'cd'\n", {"nn"}, "[ab    ] [cd    ] | "},
      {"'ab'cd\n", {"nn"}, "[ab    ] [cd    ] | "},
      {"'a,b/c' x\n", {"nn"}, "[a,b/c ] [x     ] | "},
      {"'ab\n", {"n"}, "E24@3"},
      {"'1'\n", {"i"}, "E59@3"},
      {"SiliconX T F 12 .5 (x)\n", {"nncccc"}, "[Silico] [T     ] [F] [1] [.] [(] | "},
      {"1 2 !\n", {"iic"}, "1 2 [!] | "},
      {"1 2\n\n  word rest\n", {"iic"}, "1 2 [w] | "},
      {"\n \nOx\n", {"c"}, "[O] | "},
      {"ab'cd\n", {"n"}, "[ab'cd ] | "},
  });
}

TEST(FreeFormReaderText, LengthLimit) {
  const std::string fits(2049, 'x');
  const std::string fits_doubled = std::string(2047, 'x') + "''";
  check({
      {"'" + fits + "'\n", {"n"}, "[xxxxxx] | "},
      {"'" + fits_doubled + "x'\n", {"n"}, "[xxxxxx] | "},
      {"'" + fits + "x'\n", {"n"}, "E59@3"},
      {"'" + fits + "x", {"n"}, "E59@3"},
      {fits + "\n", {"n"}, "[xxxxxx] | "},
      {fits + "x\n", {"n"}, "E59@3"},
  });
}

TEST(FreeFormReaderNumbers, FailuresAndConversions) {
  check({
      {"1.5x\n", {"r"}, "E59@3"}, {"2.0.1\n", {"r"}, "E59@3"}, {"e5\n", {"r"}, "E59@3"},
      {"1-2\n", {"r"}, "E64@3"}, {"1e\n", {"r"}, "E64@3"}, {".\n", {"r"}, "E64@3"},
      {"+\n", {"i"}, "E64@3"}, {"--5\n", {"i"}, "E64@3"},
      {"3.7 -3.7 1e3\n", {"iii"}, "3 -3 1000 | "},
      {"2147483648\n", {"i"}, "E64@3"}, {"1e39\n", {"r"}, "E64@3"},
      {"1e-40 1e-50 -0\n", {"rrr"}, "9.9999461e-41 0 -0 | "},
  });
}

TEST(FreeFormReaderSource, ReadsOnlyTheLinesItNeeds) {
  PieceSource source({"1 2\n", "\n", "3 'a\n", "b' 4\n"}, true);
  FreeFormReader reader(source, kUnit);
  std::int32_t first = 0;
  std::int32_t second = 0;
  char text[2] = {};
  reader.begin_statement();
  reader.read(first);
  reader.read(second);
  reader.read(second);
  reader.read_text(text, 2);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 3);
  EXPECT_EQ(std::string(text, 2), "ab");
  EXPECT_THROW(reader.begin_statement(), std::runtime_error);
}

}  // namespace
}  // namespace wsphere::textio
