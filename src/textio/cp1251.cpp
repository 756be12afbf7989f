// UTF-8 to Windows-1251 for the report's literals: ASCII and the Russian
// alphabet are all the report text ever contains.
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/report_writer.hpp"

namespace wsphere::textio {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// The code page byte of a code point outside ASCII, or throws.
char cp1251_byte(char32_t code) {
  if (code >= 0x410 && code <= 0x44F) return static_cast<char>(0xC0 + (code - 0x410));
  if (code == 0x401) return static_cast<char>(0xA8);  // Ё
  if (code == 0x451) return static_cast<char>(0xB8);  // ё
  throw std::invalid_argument("character not in Windows-1251 text: U+" +
                              std::to_string(static_cast<unsigned long>(code)));
}

}  // namespace

std::string to_cp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      continue;
    }
    // Every character we can map is a two-byte sequence (U+0080..U+07FF).
    if (lead < 0xC2 || lead > 0xDF || i + 1 >= utf8.size() ||
        !is_continuation(static_cast<unsigned char>(utf8[i + 1]))) {
      throw std::invalid_argument("text is not ASCII or Cyrillic UTF-8");
    }
    const auto trail = static_cast<unsigned char>(utf8[++i]);
    out.push_back(cp1251_byte(static_cast<char32_t>(((lead & 0x1FU) << 6) | (trail & 0x3FU))));
  }
  return out;
}

}  // namespace wsphere::textio
