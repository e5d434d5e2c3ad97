#include "platform/words.h"

#include <algorithm>

namespace platform {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// One word after the program's name, from t[i] (not a blank) on; i is
// left at the blank or the end that closes it.
std::string Argument(const std::string& t, std::size_t& i) {
  std::string a;
  bool in_quotes = false;
  while (i < t.size() && (in_quotes || !Blank(t[i]))) {
    std::size_t slashes = 0;
    while (i < t.size() && t[i] == '\\') ++slashes, ++i;
    if (i == t.size() || t[i] != '"') {
      a.append(slashes, '\\');
      if (slashes == 0) a += t[i++];
      continue;
    }
    a.append(slashes / 2, '\\');
    if (slashes % 2 == 1) {
      a += '"';
    } else if (in_quotes && i + 1 < t.size() && t[i + 1] == '"') {
      a += '"';
      ++i;
    } else {
      in_quotes = !in_quotes;
    }
    ++i;
  }
  return a;
}

}  // namespace

std::vector<Word> Split_Words(std::string t) {
  std::vector<Word> words;
  Word w;
  bool in_word = false, in_quotes = false;
  for (char c : t) {
    if (c == '"') {
      in_quotes = !in_quotes;
      in_word = true;
      w.quoted = true;
    } else if (Blank(c) && !in_quotes) {
      if (in_word) words.push_back(w);
      w = Word();
      in_word = false;
    } else {
      w.text += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(w);
  return words;
}

std::vector<std::string> Split_Texts(std::string t) {
  std::vector<std::string> texts;
  for (const Word& w : Split_Words(t)) texts.push_back(w.text);
  return texts;
}

std::vector<std::string> Split_Arguments(std::string t) {
  std::vector<std::string> args;
  for (std::size_t i = 0;;) {
    while (i < t.size() && Blank(t[i])) ++i;
    if (i == t.size()) return args;
    args.push_back(Argument(t, i));
  }
}

Cmd_Change Cmd_Change_Of(char c) {
  if (c == '"') return Cmd_Change::quote;
  if (c == '%') return Cmd_Change::variable;
  if (c == '!') return Cmd_Change::delayed;
  if (static_cast<unsigned char>(c) < 0x20) return Cmd_Change::line;
  return Cmd_Change::none;
}

std::size_t Cmd_Changed_At(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (Cmd_Change_Of(s[i]) != Cmd_Change::none) return i;
  return std::string::npos;
}

}  // namespace platform
