// The POSIX command layer's word splitter and cmd's quote rule, checked by
// their invariants rather than a second copy of the code:
// - the texts are the line with its quotes and its separators (spaces and
//   tabs at an even count of quotes before them) removed, word by word;
// - a word is quoted exactly when its stretch of the line held a quote;
// - the quote rule leaves the line alone or removes exactly its first
//   byte (a quote) and its last quote, and does so exactly when the line
//   starts with a quote and holds more than two.
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

void Check_Strip(const std::string& t) {
  std::string r = platform::Strip_Outer_Quotes(t);
  long n = std::count(t.begin(), t.end(), '"');
  bool strip = !t.empty() && t[0] == '"' && n > 2;
  if (!strip) {
    Check(r == t, "the line is left alone");
    return;
  }
  std::string want = t.substr(1);
  want.erase(want.rfind('"'), 1);
  Check(r == want, "the first byte and the last quote are removed");
  Check(std::count(r.begin(), r.end(), '"') == n - 2, "exactly two quotes are removed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string t(reinterpret_cast<const char*>(data), size);
  Check_Split(t);
  Check_Strip(t);
  return 0;
}
