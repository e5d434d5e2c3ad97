// The Chinese guide quotes velder's messages between “ and ”: each one
// must be what the programs print, made of the string literals of
// src/ and tools/ (a name or other value the program fills in stands
// between inner quotes), or a text of the installer. And no line of it
// breaks between two Chinese characters, which a browser would show as
// a space.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string OPEN = "“", CLOSE = "”";

std::string Read(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The string literals of C++ source text, adjacent ones joined, escapes
// left as written.
std::vector<std::string> Literals(const std::string& src) {
  std::vector<std::string> found;
  bool joinable = false;
  for (std::size_t i = 0; i < src.size();) {
    char c = src[i];
    if (src.compare(i, 2, "//") == 0) {
      i = src.find('\n', i);
    } else if (src.compare(i, 2, "/*") == 0) {
      std::size_t end = src.find("*/", i + 2);
      i = end == std::string::npos ? src.size() : end + 2;
    } else if (c == '\'' || c == '"') {
      std::string text;
      for (++i; i < src.size() && src[i] != c; ++i) {
        if (src[i] == '\\') text += src[i++];
        text += src[i];
      }
      ++i;
      if (c == '\'') {
        joinable = false;
      } else if (joinable) {
        found.back() += text;
      } else {
        found.push_back(text);
        joinable = true;
      }
      continue;
    } else {
      if (c != ' ' && c != '\n' && c != '\t' && c != '\r') joinable = false;
      ++i;
    }
  }
  return found;
}

// The quotes of the guide at the outer level, inner ones kept.
std::vector<std::string> Quoted(const std::string& text) {
  std::vector<std::string> quotes;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, OPEN.size(), OPEN) == 0) {
      if (depth++ == 0) start = i + OPEN.size();
    } else if (text.compare(i, CLOSE.size(), CLOSE) == 0 && depth > 0 && --depth == 0) {
      quotes.push_back(text.substr(start, i - start));
    }
  }
  return quotes;
}

// True when m is a piece of one literal, or whole literals one after the
// other, where what stands between inner quotes may be anything.
bool Made_Of(const std::string& m, const std::vector<std::string>& literals) {
  for (const std::string& l : literals)
    if (l.find(m) != std::string::npos) return true;
  std::vector<bool> reached(m.size() + 1, false);
  reached[0] = true;
  for (std::size_t i = 0; i < m.size(); ++i) {
    if (!reached[i]) continue;
    for (const std::string& l : literals)
      if (!l.empty() && m.compare(i, l.size(), l) == 0) reached[i + l.size()] = true;
    // After an inner opening quote, the value up to its closing one.
    if (i >= OPEN.size() && m.compare(i - OPEN.size(), OPEN.size(), OPEN) == 0) {
      std::size_t close = m.find(CLOSE, i);
      if (close != std::string::npos) reached[close] = true;
    }
  }
  return reached[m.size()];
}

TEST(Guide, QuotesTheProgramsOwnMessages) {
  std::filesystem::path root = SOURCE_DIR;
  std::vector<std::string> literals;
  for (const char* dir : {"src", "tools"})
    for (const auto& e : std::filesystem::recursive_directory_iterator(root / dir)) {
      std::string ext = e.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      for (const std::string& l : Literals(Read(e.path()))) literals.push_back(l);
    }
  // The installer's texts: the Start menu's names.
  literals.push_back(Read(root / "cmake" / "NSIS.template.in"));
  std::vector<std::string> quotes = Quoted(Read(root / "docs" / "guide-zh_CN.md"));
  EXPECT_GE(quotes.size(), 25u);
  for (const std::string& q : quotes) EXPECT_TRUE(Made_Of(q, literals)) << "“" << q << "”";
}

// The soft line break of Markdown becomes a space between the two lines.
TEST(Guide, NoLineBreaksBetweenChineseCharacters) {
  std::istringstream guide(Read(std::filesystem::path(SOURCE_DIR) / "docs" / "guide-zh_CN.md"));
  bool code = false;
  std::string line, prev;
  int n = 0;
  for (; std::getline(guide, line); prev = line) {
    ++n;
    if (line.rfind("```", 0) == 0) code = !code;
    std::size_t at = line.find_first_not_of(' ');
    bool wide_start = at != std::string::npos && static_cast<unsigned char>(line[at]) >= 0xE0;
    bool wide_end = !prev.empty() && static_cast<unsigned char>(prev[prev.size() - 1]) >= 0x80;
    if (!code && wide_start && wide_end) ADD_FAILURE() << "line " << n << ": " << line;
  }
}

}  // namespace
