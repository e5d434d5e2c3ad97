// How texts are split into words where no cmd.exe reads them (the
// editor variables, the compile options on POSIX), and the rules of
// cmd.exe that matter on Windows. No shell ever sees user text.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct Word {
  std::string text;     // quotes removed
  bool quoted = false;  // some part of it stood between double quotes
};

// The simple rule, kept for the editor variables VISUAL and EDITOR: t is
// split at spaces and tabs outside double quotes. A pair of quotes with
// nothing between is an empty word; an unclosed quote runs to the end.
// Backslashes, $, ;, |, & and backticks are ordinary characters.
std::vector<Word> Split_Words(std::string t);

// The texts of Split_Words(t).
std::vector<std::string> Split_Texts(std::string t);

// The compile options as a Windows program's C runtime splits the
// arguments after its name, so that one settings file means the same
// arguments on every platform. The rules the runtime documents:
// - spaces and tabs outside double quotes separate words;
// - 2n backslashes and a double quote give n backslashes, and the quote
//   opens or closes a quoted part;
// - 2n+1 backslashes and a double quote give n backslashes and a literal
//   double quote;
// - backslashes before anything else are literal;
// - inside a quoted part, two double quotes give one literal double quote
//   and the part goes on;
// - a quoted part left open runs to the end.
// %, ^, &, |, <, > are ordinary characters: only cmd.exe acts on them.
std::vector<std::string> Split_Arguments(std::string t);

// What cmd.exe does with a character of its line even between double
// quotes, so that the text there does not reach a program as written:
// - quote: a double quote ends the quoted part;
// - variable: "%" begins a %NAME% that is replaced by its value;
// - delayed: "!" begins a !NAME! that is replaced too when delayed
//   expansion is on (the registry can switch it on for every cmd.exe),
//   and then every "^" of the line is dropped;
// - line: a control character: a line feed ends the command, a carriage
//   return vanishes, a NUL ends the text.
enum class Cmd_Change { none, quote, variable, delayed, line };
Cmd_Change Cmd_Change_Of(char c);

// The position of the first character of s that cmd.exe would change
// between double quotes, or npos when it carries s as written.
std::size_t Cmd_Changed_At(const std::string& s);

}  // namespace platform
