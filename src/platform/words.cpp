#include "platform/words.h"

#include <algorithm>

namespace platform {

std::vector<Word> Split_Words(std::string t) {
  std::vector<Word> words;
  Word w;
  bool in_word = false, in_quotes = false;
  for (char c : t) {
    if (c == '"') {
      in_quotes = !in_quotes;
      in_word = true;
      w.quoted = true;
    } else if ((c == ' ' || c == '\t') && !in_quotes) {
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

std::string Strip_Outer_Quotes(std::string t) {
  if (t.empty() || t[0] != '"' || std::count(t.begin(), t.end(), '"') <= 2) return t;
  t.erase(0, 1);
  t.erase(t.rfind('"'), 1);
  return t;
}

}  // namespace platform
