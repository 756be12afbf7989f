// The report writer: a report statement is a layout (a list of layout items)
// applied to a list of values; it produces one or more complete lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Fields and gaps are a few characters wide: plain loops beat calls to the
// library's block copy, so the compiler is kept from turning such loops into
// those calls. (Only g++ has this switch per function.)
#if defined(__GNUC__) && !defined(__clang__)
#define WSPHERE_SHORT_LOOPS __attribute__((optimize("no-tree-loop-distribute-patterns")))
#else
#define WSPHERE_SHORT_LOOPS
#endif

namespace wsphere::textio {

// One value of a report statement: an integer (Iw), a real (Fw.d, Ew.d) or the
// bytes of a character item (Aw), passed through unchanged.
using ReportValue = std::variant<std::int32_t, float, std::string_view>;

// One layout item after groups have been expanded.
struct LayoutItem {
  enum class Kind { skip, integer, text, fixed, exponent, literal, slash };
  Kind kind;
  int width = 0;      // n of nX; w of Iw, Aw, Fw.d, Ew.d
  int decimals = 0;   // d of Fw.d, Ew.d
  std::string bytes;  // literal, already in Windows-1251
};

// What writing a layout does, with the columns worked out in advance: every
// field writes exactly its width and every skip is fixed, so each data item
// and literal lands in the same columns whatever the values.
struct LayoutStep {
  enum class Kind { field, literal, line_end };
  Kind kind;
  int item = 0;             // index into the items (field, literal)
  std::size_t column = 0;   // 0-based first column (field, literal)
  std::size_t end = 0;      // column after the last character (field, literal)
};

// A parsed layout, such as  5X,I4,3X,A6,3X,3(F8.5,2X)  or  /,/,"title".
// Literals stand in double quotes and are written in UTF-8 in the source; they
// are converted to Windows-1251 once, when the layout is built. A malformed
// layout is a programming error and throws std::invalid_argument.
class Layout {
 public:
  explicit Layout(std::string_view text);
  const std::vector<LayoutItem>& items() const { return items_; }
  const std::vector<LayoutStep>& steps() const { return steps_; }
  // The longest line the layout can write, without its line end.
  std::size_t longest_line() const { return longest_line_; }

 private:
  std::vector<LayoutItem> items_;
  std::vector<LayoutStep> steps_;
  std::size_t longest_line_ = 0;
};

// Where lines go. The writer asks for room for a line, builds the line there
// and then commits it, complete with its CR LF; a sink with a buffer of its own
// hands out room in that buffer, so lines are never copied.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // At least `size` writable bytes for the next line, of unspecified content,
  // valid until the next call on the sink.
  virtual char* line_room(std::size_t size) = 0;
  // The first `size` bytes of the last room hold the next line, with its CR LF.
  virtual void commit_line(std::size_t size) = 0;
  // Called once at the end of a statement that printed a finite number as asterisks.
  virtual void field_overflow() = 0;
};

// A sink that takes each line only when it is finished: lines are built in
// room of its own and passed to put_line.
template <class Sink = LineSink>
class WholeLineSink : public Sink {
 public:
  char* line_room(std::size_t size) final {
    if (room_.size() < size) room_.resize(size);
    return room_.data();
  }
  void commit_line(std::size_t size) final { put_line({room_.data(), size}); }
  virtual void put_line(std::string_view line_with_crlf) = 0;

 private:
  std::vector<char> room_;
};

class ReportWriter {
 public:
  explicit ReportWriter(LineSink& sink) : sink_(sink) {}

  // Applies `layout` to `values`: walks the items left to right, ends a line at
  // each slash, stops at the end of the layout or at a data item with no value
  // left, and writes out the last line.
  // `overflow_before` is true for a statement whose start, rendered earlier
  // and passed as a character value, printed a finite number as asterisks.
  void write(const Layout& layout, std::span<const ReportValue> values, bool overflow_before = false);
  void write(const Layout& layout, std::initializer_list<ReportValue> values = {},
             bool overflow_before = false) {
    write(layout, std::span<const ReportValue>(values.begin(), values.size()), overflow_before);
  }

 private:
  LineSink& sink_;
};

// Field renderers: each fills the `width` characters at `out`, which hold
// blanks on entry (the blanks before a right-justified value are left as they
// are), and sets `overflow` to true when a finite number did not fit and was
// written as asterisks; it is left unchanged otherwise, so one flag can collect
// a whole statement.
void put_integer(char* out, std::int32_t value, int width, bool& overflow);
void put_text(char* out, std::string_view value, int width);
void put_fixed(char* out, float value, int width, int decimals, bool& overflow);
void put_exponent(char* out, float value, int width, int decimals, bool& overflow);

// The same fields as strings of their own.
std::string render_integer(std::int32_t value, int width, bool& overflow);
std::string render_text(std::string_view value, int width);
std::string render_fixed(float value, int width, int decimals, bool& overflow);
std::string render_exponent(float value, int width, int decimals, bool& overflow);

// UTF-8 text (ASCII and Cyrillic) to Windows-1251 bytes; throws
// std::invalid_argument for a character that code page does not have.
std::string to_cp1251(std::string_view utf8);

}  // namespace wsphere::textio
