// Helpers for reading the text files of a minimisation run line by line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wsphere::companion {

// The lines of a text file, without line ends; InputError when it cannot be read.
std::vector<std::string> read_lines(const std::string& path);

// Blank-separated words of a line.
std::vector<std::string> split_words(std::string_view line);

std::string lower(std::string_view text);
std::string trim(std::string_view text);

// True when `word` names `keyword`: the whole keyword, or an abbreviation of
// at least four letters, in any letter case.
bool names_keyword(std::string_view word, std::string_view keyword);

// A number written as a decimal ("0.25", "-1.5e-3") or as a fraction ("1/3").
bool parse_number(std::string_view text, double& value);

// The same, ending the program with a message naming file and line when the
// text is not a number.
double number_at(std::string_view text, const std::string& file, int line);

// "FILE, line N: "
std::string place(const std::string& file, int line);

// The element an atom label starts with: "Si12" -> "Si", "O2" -> "O", "ca" -> "Ca".
// Empty when the label does not start with an element symbol.
std::string element_of_label(std::string_view label);

}  // namespace wsphere::companion
