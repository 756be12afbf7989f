// The free-form reader: read statements that take integers, reals and
// fixed-length character items from the lines of a text file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "textio/byte_source.hpp"
#include "textio/line_source.hpp"

namespace wsphere::textio {

// Reads statements from the lines of a ByteSource. Failures raise wsphere::Fatal
// with Msg::end_of_file, Msg::syntax_error or Msg::input_conversion and the
// unit number given here.
//
// A statement is begin_statement() followed by one call per item. An item
// whose value is null (or that follows a slash) keeps its value.
class FreeFormReader {
 public:
  FreeFormReader(ByteSource& source, int unit);

  // Starts a statement at the beginning of the next line, skipping whatever
  // the previous statement left of its last line.
  void begin_statement();

  void read(std::int32_t& item);
  void read(float& item);
  // A character item of fixed length: `item` points to `length` bytes.
  void read_text(char* item, std::size_t length);

  // The longest text a character value may hold.
  static constexpr std::size_t max_text_length = 2049;

 private:
  enum class ItemKind { number, text };

  // The value being handed out, once or by a repeat count.
  struct Value {
    std::string text;     // quoted text without its marks, doubled marks undoubled
    bool quoted = false;
    bool null = false;
  };

  struct ValueText {
    std::string_view text;
    bool quoted = false;
  };

  std::optional<ValueText> next_value(ItemKind kind);
  std::string_view usual_value();
  bool reach_value();
  char skip_white_space();
  void advance_line();
  void read_value(ItemKind kind);
  std::int64_t take_repeat_count();
  bool at_separator() const;
  void read_plain();
  void read_quoted(char mark);

  LineSource lines_;
  int unit_;
  std::string line_;             // the current line
  std::size_t position_ = 0;     // read position in `line_`
  bool after_comma_ = false;     // a comma already separates the last value from the next
  bool ended_ = false;           // a slash has ended the statement
  std::int64_t repeats_left_ = 0;
  Value value_;
};

}  // namespace wsphere::textio
