// Parsing of layout strings such as  5X,I4,3X,A6,3X,3(F8.5,2X)  into a flat
// list of items: groups are expanded and literals converted here, once, so
// that writing a line does no parsing at all.
#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

using Kind = LayoutItem::Kind;

// Counts, widths and decimals above this are certainly a mistake.
constexpr int max_number = 100000;

class LayoutParser {
 public:
  explicit LayoutParser(std::string_view text) : text_(text) {}

  std::vector<LayoutItem> parse() {
    std::vector<LayoutItem> items;
    skip_blanks();
    if (at_end()) return items;  // an empty layout writes one empty line
    parse_list(items);
    if (!at_end()) fail("unexpected character");
    return items;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;

  [[noreturn]] void fail(const char* what) const {
    throw std::invalid_argument(std::string("bad layout (") + what + " at offset " +
                                std::to_string(pos_) + "): " + std::string(text_));
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return at_end() ? '\0' : text_[pos_]; }
  char upper_peek() const { return static_cast<char>(std::toupper(static_cast<unsigned char>(peek()))); }
  void skip_blanks() {
    while (peek() == ' ' || peek() == '\t') ++pos_;
  }
  void expect(char c, const char* what) {
    if (peek() != c) fail(what);
    ++pos_;
  }

  // item { , item }  — stops before ')' or at the end of the text.
  void parse_list(std::vector<LayoutItem>& items) {
    for (;;) {
      skip_blanks();
      parse_item(items);
      skip_blanks();
      if (peek() != ',') return;
      ++pos_;
    }
  }

  void parse_item(std::vector<LayoutItem>& items) {
    const char c = upper_peek();
    if (c == '"') {
      items.push_back({Kind::literal, 0, 0, to_cp1251(parse_quoted())});
    } else if (c == '/') {
      ++pos_;
      items.push_back({Kind::slash, 0, 0, {}});
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      parse_counted(items);
    } else if (c == 'I' || c == 'A') {
      ++pos_;
      items.push_back({c == 'I' ? Kind::integer : Kind::text, parse_number(1), 0, {}});
    } else if (c == 'F' || c == 'E') {
      ++pos_;
      parse_real(c == 'F' ? Kind::fixed : Kind::exponent, items);
    } else {
      fail("expected a layout item");
    }
  }

  // nX or k( ... ).
  void parse_counted(std::vector<LayoutItem>& items) {
    const int count = parse_number(1);
    skip_blanks();
    if (upper_peek() == 'X') {
      ++pos_;
      items.push_back({Kind::skip, count, 0, {}});
      return;
    }
    expect('(', "expected X or ( after a count");
    std::vector<LayoutItem> group;
    parse_list(group);
    skip_blanks();
    expect(')', "expected )");
    for (int k = 0; k < count; ++k) items.insert(items.end(), group.begin(), group.end());
  }

  void parse_real(Kind kind, std::vector<LayoutItem>& items) {
    const int width = parse_number(1);
    expect('.', "expected . in a real field");
    // An exponent field needs at least one mantissa digit.
    const int decimals = parse_number(kind == Kind::exponent ? 1 : 0);
    items.push_back({kind, width, decimals, {}});
  }

  int parse_number(int minimum) {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("expected a number");
    int value = 0;
    while (std::isdigit(static_cast<unsigned char>(peek()))) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > max_number) fail("number too large");
    }
    if (value < minimum) fail("number too small");
    return value;
  }

  // A double-quoted literal; a doubled quote inside stands for one quote.
  std::string parse_quoted() {
    ++pos_;
    std::string text;
    for (;;) {
      if (at_end()) fail("unterminated literal");
      const char c = text_[pos_++];
      if (c != '"') {
        text.push_back(c);
      } else if (peek() == '"') {
        text.push_back(text_[pos_++]);
      } else {
        return text;
      }
    }
  }
};

}  // namespace

Layout::Layout(std::string_view text) : items_(LayoutParser(text).parse()) {
  std::size_t column = 0;
  for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
    const LayoutItem& item = items_[static_cast<std::size_t>(i)];
    switch (item.kind) {
      case Kind::skip:
        column += static_cast<std::size_t>(item.width);
        break;
      case Kind::slash:
        steps_.push_back({LayoutStep::Kind::line_end, i, 0, 0});
        column = 0;
        break;
      case Kind::literal:
        steps_.push_back({LayoutStep::Kind::literal, i, column, column + item.bytes.size()});
        column = steps_.back().end;
        break;
      default:
        steps_.push_back({LayoutStep::Kind::field, i, column, column + static_cast<std::size_t>(item.width)});
        column = steps_.back().end;
        break;
    }
    longest_line_ = std::max(longest_line_, column);
  }
}

}  // namespace wsphere::textio
