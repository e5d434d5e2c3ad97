// How the POSIX command layer reads the command lines the program builds:
// words separated by spaces and tabs, double quotes grouping, nothing
// else special. No shell ever sees user text.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct Word {
  std::string text;     // quotes removed
  bool quoted = false;  // some part of it stood between double quotes
};

// Splits t at spaces and tabs outside double quotes. A pair of quotes
// with nothing between is an empty word; an unclosed quote runs to the
// end. Backslashes, $, ;, |, & and backticks are ordinary characters.
std::vector<Word> Split_Words(std::string t);

// The texts of Split_Words(t).
std::vector<std::string> Split_Texts(std::string t);

// The rule cmd.exe applies to the text after "/c": when it begins with a
// double quote and holds more than two, its first and its last double
// quote are removed.
std::string Strip_Outer_Quotes(std::string t);

}  // namespace platform
