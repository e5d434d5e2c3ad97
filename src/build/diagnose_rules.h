// The inside of diagnose.cpp: the table of rules, and the looks at the
// student's source that some rules take.
#pragma once

#include <map>
#include <regex>
#include <string>
#include <vector>

// What a rule explains: the first error; a warning that explains the
// errors after it (cause); a warning after a successful compile.
enum class Rule_For { error, cause, warning };

// What a rule reads in the source before it applies; when the look finds
// nothing, the rule does not apply and the next one is tried.
enum class Look {
  none,
  wide_punct,      // a full-width punctuation mark in the code of the line or the one before
  wide_any,        // the first character outside ASCII in the code of the line
  statement_end,   // the line that lacks its ";" (GCC may report the next one)
  unclosed_paren,  // a "(" of the statement still open where GCC stopped
  std_header,      // the header that declares a name of the standard library
  include_line,    // the line is an #include
};

struct Rule {
  std::string id;
  Rule_For kind;
  std::regex pattern;  // searched in the message, then its notes, one per line
  Look look;
  // Sentences, filled by Fill: {1} a group of the pattern, {suggest} and
  // {header} what GCC added, others what the look found.
  std::vector<std::string> meaning, fix;
};

const std::vector<Rule>& Rules();

// The source, by lines; code: the same lines with comments and the
// insides of string and character literals blanked, byte for byte.
struct Source {
  std::vector<std::string> lines, code;
};
Source Read_Source(const std::string& text);

// Where in the student's file: the line, GCC's column (display columns,
// 0: none), and whether it is the line that led into a library header.
struct Where {
  bool known = false;
  bool from_header = false;
  int line = 0, column = 0;
};

using Values = std::map<std::string, std::string>;

// Carries out a look: may move w (to the line that lacks the ";", to the
// full-width character) and adds what it found to v.
bool Look_At(Look look, const Source& src, Where& w, Values& v);

// The line to show (tabs expanded as GCC expands them, very long ones
// cut); false when the source has no such line.
bool Source_Line(const Source& src, int line, std::string& text);

// The caret's column under Source_Line's text; 0 for none.
int Caret_Column(const Source& src, const Where& w);
