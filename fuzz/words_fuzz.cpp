// The word splitters, checked
// by their invariants rather than a second copy of the code:
// - the simple rule's texts are the line with its quotes and its
//   separators (spaces and tabs at an even count of quotes before them)
//   removed, word by word;
// - a word is quoted exactly when its stretch of the line held a quote;
// - the runtime's rule agrees with the simple one on a line without
//   quotes and backslashes, and any argument list it gives comes back
//   unchanged from the line a careful caller would write for it (every
//   argument quoted, backslashes before a quote and at the end doubled,
//   each quote escaped).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/words.h"

namespace {

struct Stretch {
  std::string text;
  bool quoted = false;
};

// The stretches between separators, read off the quote count.
std::vector<Stretch> Stretches(const std::string& t) {
  std::vector<Stretch> v;
  std::size_t quotes = 0;
  bool open = false;
  for (char c : t) {
    bool separator = (c == ' ' || c == '\t') && quotes % 2 == 0;
    if (separator) {
      open = false;
      continue;
    }
    if (!open) v.push_back(Stretch());
    open = true;
    if (c == '"') {
      ++quotes;
      v.back().quoted = true;
    } else {
      v.back().text += c;
    }
  }
  return v;
}

void Check_Split(const std::string& t) {
  std::vector<platform::Word> words = platform::Split_Words(t);
  std::vector<Stretch> want = Stretches(t);
  Check(words.size() == want.size(), "one word per stretch between separators");
  for (std::size_t i = 0; i < words.size() && i < want.size(); ++i) {
    Check(words[i].text == want[i].text, "a word is its stretch without quotes");
    Check(words[i].quoted == want[i].quoted, "quoted exactly when the stretch held a quote");
    Check(words[i].text.find('"') == std::string::npos, "no word holds a quote");
  }
  std::vector<std::string> texts = platform::Split_Texts(t);
  Check(texts.size() == words.size(), "Split_Texts has the words' texts");
  for (std::size_t i = 0; i < texts.size() && i < words.size(); ++i)
    Check(texts[i] == words[i].text, "Split_Texts has the words' texts");

  // Quoting every word and joining them with spaces gives them back.
  std::string joined;
  for (const auto& w : words) joined += (joined.empty() ? "\"" : " \"") + w.text + "\"";
  std::vector<platform::Word> again = platform::Split_Words(joined);
  Check(again.size() == words.size(), "quoted words split back into the same count");
  for (std::size_t i = 0; i < again.size() && i < words.size(); ++i)
    Check(again[i].text == words[i].text && again[i].quoted, "quoted words split back unchanged");
}

// The line that hands args to a program whatever they hold: each
// argument quoted.
std::string Quoted_Line(const std::vector<std::string>& args) {
  std::string line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    line += i == 0 ? "\"" : " \"";
    std::size_t slashes = 0;
    for (char c : args[i]) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      line.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
      slashes = 0;
      line += c;
    }
    line.append(2 * slashes, '\\');
    line += '"';
  }
  return line;
}

void Check_Arguments(const std::string& t) {
  std::vector<std::string> args = platform::Split_Arguments(t);
  if (t.find_first_of("\"\\") == std::string::npos)
    Check(args == platform::Split_Texts(t), "without quotes and backslashes: split at blanks");
  Check(platform::Split_Arguments(Quoted_Line(args)) == args,
        "the arguments come back from their quoted line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string t(reinterpret_cast<const char*>(data), size);
  Check_Split(t);
  Check_Arguments(t);
  return 0;
}
