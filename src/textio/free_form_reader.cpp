#include "textio/free_form_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/condition.hpp"
#include "textio/number_parse.hpp"

namespace wsphere::textio {

namespace {

bool is_white(char c) { return c == ' ' || c == '\t'; }
// Blank, tab, comma and slash end a value; an asterisk may make the digits
// before it a repeat count, and a quotation mark may open quoted text.
struct ByteClasses {
  static constexpr std::uint8_t separator = 1;
  static constexpr std::uint8_t unusual = 2;
  std::uint8_t of[256] = {};
  constexpr ByteClasses() {
    for (const unsigned char c : {' ', '\t', ',', '/'}) of[c] = separator;
    for (const unsigned char c : {'*', '\'', '"'}) of[c] = unusual;
  }
};
constexpr ByteClasses kBytes;

bool is_separator(char c) { return kBytes.of[static_cast<unsigned char>(c)] == ByteClasses::separator; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_quote(char c) { return c == '\'' || c == '"'; }

[[noreturn]] void fail(Msg msg, int unit) { throw Fatal(msg, unit); }

template <typename T>
T checked(const ParsedNumber<T>& parsed, int unit) {
  if (parsed.fault == NumberFault::bad_character) fail(Msg::syntax_error, unit);
  if (parsed.fault == NumberFault::not_a_number) fail(Msg::input_conversion, unit);
  return parsed.value;
}

}  // namespace

FreeFormReader::FreeFormReader(ByteSource& source, int unit) : lines_(source), unit_(unit) {}

void FreeFormReader::begin_statement() {
  advance_line();
  after_comma_ = true;  // a comma before the first value gives the first item a null
  ended_ = false;
  repeats_left_ = 0;
}

void FreeFormReader::read(std::int32_t& item) {
  const std::optional<ValueText> value = next_value(ItemKind::number);
  if (!value) return;
  if (value->quoted) fail(Msg::syntax_error, unit_);
  item = checked(parse_integer(value->text), unit_);
}

void FreeFormReader::read(float& item) {
  const std::optional<ValueText> value = next_value(ItemKind::number);
  if (!value) return;
  if (value->quoted) fail(Msg::syntax_error, unit_);
  item = checked(parse_real(value->text), unit_);
}

void FreeFormReader::read_text(char* item, std::size_t length) {
  const std::optional<ValueText> value = next_value(ItemKind::text);
  if (!value) return;
  const std::string_view text = value->text;
  if (text.size() > max_text_length) fail(Msg::syntax_error, unit_);
  const std::size_t kept = std::min(length, text.size());
  std::memcpy(item, text.data(), kept);
  std::memset(item + kept, ' ', length - kept);
}

// The usual value, taken from the current line as it stands: after blanks and
// tabs, bytes up to a separator or the line's end, with no asterisk and no
// quotation mark, so that it has no repeat count and no quotes. Empty, with
// nothing taken, for anything else (a comma, a slash, the line's end, a
// repeated or quoted value, a value still being repeated, an ended
// statement), which the rest of next_value reads.
std::string_view FreeFormReader::usual_value() {
  if (ended_ || repeats_left_ != 0) return {};
  const char* const line = line_.data();
  const std::size_t size = line_.size();
  std::size_t start = position_;
  while (start < size && is_white(line[start])) ++start;
  std::size_t end = start;
  std::uint8_t seen = 0;
  for (; end < size; ++end) {
    const std::uint8_t kind = kBytes.of[static_cast<unsigned char>(line[end])];
    if (kind == ByteClasses::separator) break;
    seen |= kind;
  }
  if (end == start || seen != 0) return {};
  position_ = end;
  after_comma_ = false;
  return {line + start, end - start};
}

// The value for the next item, or nothing when the item keeps its value. The
// text stays valid until the next item is read.
std::optional<FreeFormReader::ValueText> FreeFormReader::next_value(ItemKind kind) {
  if (const std::string_view usual = usual_value(); !usual.empty()) return ValueText{usual};
  if (ended_) return std::nullopt;
  if (repeats_left_ == 0) {
    if (!reach_value()) return std::nullopt;
    read_value(kind);
  }
  --repeats_left_;
  if (value_.null) return std::nullopt;
  return ValueText{value_.text, value_.quoted};
}

// Moves to the first byte of the next value, passing the comma that separates
// it from the previous one. Returns false when the item gets no value: a comma
// with no value before it is a null, a slash ends the statement.
bool FreeFormReader::reach_value() {
  for (;;) {
    const char c = skip_white_space();
    if (c == '/') {
      ended_ = true;
      return false;
    }
    if (c != ',') {
      after_comma_ = false;
      return true;
    }
    ++position_;
    if (after_comma_) return false;  // this comma also ends the null it makes
    after_comma_ = true;
  }
}

// Skips blanks, tabs and line ends; returns the byte reached.
char FreeFormReader::skip_white_space() {
  for (;;) {
    const char* const line = line_.data();
    const std::size_t size = line_.size();
    std::size_t position = position_;
    while (position < size && is_white(line[position])) ++position;
    position_ = position;
    if (position < size) return line[position];
    advance_line();
  }
}

void FreeFormReader::advance_line() {
  if (!lines_.next_line(line_)) fail(Msg::end_of_file, unit_);
  position_ = 0;
}

// Reads the value at the read position, with its repeat count if it has one.
void FreeFormReader::read_value(ItemKind kind) {
  repeats_left_ = take_repeat_count();
  value_.null = at_separator();
  if (value_.null) return;
  const char first = line_[position_];
  value_.quoted = is_quote(first);
  if (!value_.quoted) {
    read_plain();
  } else if (kind == ItemKind::number) {
    fail(Msg::syntax_error, unit_);
  } else {
    read_quoted(first);
  }
}

// A run of digits followed by an asterisk is a repeat count: it is taken and
// returned. Otherwise the value stands once.
std::int64_t FreeFormReader::take_repeat_count() {
  constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
  std::size_t end = position_;
  std::int64_t count = 0;
  for (; end < line_.size() && is_digit(line_[end]); ++end) {
    count = std::min(largest + 1, count * 10 + (line_[end] - '0'));
  }
  if (end == position_ || end == line_.size() || line_[end] != '*') return 1;
  if (count < 1 || count > largest) fail(Msg::syntax_error, unit_);
  position_ = end + 1;
  return count;
}

bool FreeFormReader::at_separator() const {
  return position_ == line_.size() || is_separator(line_[position_]);
}

void FreeFormReader::read_plain() {
  const std::size_t start = position_;
  const std::size_t size = line_.size();
  const char* line = line_.data();
  std::size_t end = start;
  while (end < size && !is_separator(line[end])) ++end;
  position_ = end;
  value_.text.assign(line + start, end - start);
}

// Reads the text up to the closing mark. Two marks in a row on one line stand
// for one; a line end inside the text adds nothing to it.
void FreeFormReader::read_quoted(char mark) {
  value_.text.clear();
  ++position_;
  for (;;) {
    if (position_ == line_.size()) {
      advance_line();
      continue;
    }
    const char c = line_[position_++];
    if (c == mark) {
      if (position_ == line_.size() || line_[position_] != mark) return;
      ++position_;
    }
    value_.text.push_back(c);
    if (value_.text.size() > max_text_length) fail(Msg::syntax_error, unit_);
  }
}

}  // namespace wsphere::textio
