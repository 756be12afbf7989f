#include "companion/text_scan.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>

#include <gemmi/elem.hpp>

#include "companion/crystal.hpp"

namespace wsphere::companion {

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot be read");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) throw InputError(path + ": read error");
  return lines;
}

std::vector<std::string> split_words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

std::string trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

bool names_keyword(std::string_view word, std::string_view keyword) {
  const std::size_t needed = keyword.size() < 4 ? keyword.size() : 4;
  if (word.size() < needed || word.size() > keyword.size()) return false;
  return lower(word) == keyword.substr(0, word.size());
}

namespace {

bool parse_decimal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

bool parse_number(std::string_view text, double& value) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return parse_decimal(text, value);
  double numerator = 0.0;
  double denominator = 0.0;
  if (!parse_decimal(text.substr(0, slash), numerator) ||
      !parse_decimal(text.substr(slash + 1), denominator) || denominator == 0.0) {
    return false;
  }
  value = numerator / denominator;
  return true;
}

std::string place(const std::string& file, int line) {
  return file + ", line " + std::to_string(line) + ": ";
}

double number_at(std::string_view text, const std::string& file, int line) {
  double value = 0.0;
  if (!parse_number(text, value)) {
    throw InputError(place(file, line) + "\"" + std::string(text) + "\" is not a number");
  }
  return value;
}

std::string element_of_label(std::string_view label) {
  if (label.empty() || !std::isalpha(static_cast<unsigned char>(label[0]))) return {};
  if (label.size() >= 2 && std::isalpha(static_cast<unsigned char>(label[1]))) {
    const char pair[3] = {label[0], label[1], '\0'};
    const gemmi::El two = gemmi::find_element(pair);
    if (two != gemmi::El::X) return gemmi::element_name(two);
  }
  const char single[2] = {label[0], '\0'};
  const gemmi::El one = gemmi::find_element(single);
  if (one == gemmi::El::X) return {};
  return gemmi::element_name(one);
}

}  // namespace wsphere::companion
