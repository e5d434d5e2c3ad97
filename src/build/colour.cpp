#include "build/colour.h"

#include "build/diagnose.h"

namespace {

const std::size_t HOLD_LIMIT = 4096;

// The codes GCC itself writes (its default GCC_COLORS).
const char BOLD[] = "\x1b[01m\x1b[K";
const char RED[] = "\x1b[01;31m\x1b[K";
const char MAGENTA[] = "\x1b[01;35m\x1b[K";
const char CYAN[] = "\x1b[01;36m\x1b[K";
const char GREEN[] = "\x1b[01;32m\x1b[K";
const char RESET[] = "\x1b[m\x1b[K";

// Where the caret of a caret line starts: "      |     ^~~~" (GCC 9 and
// later) or "     ^~~~" (older); npos for any other line.
std::size_t Caret_At(const std::string& line) {
  std::size_t p = line.find_first_not_of(' ');
  if (p == std::string::npos) return p;
  if (line[p] == '|') p = line.find_first_not_of(' ', p + 1);
  if (p == std::string::npos || (line[p] != '^' && line[p] != '~')) return std::string::npos;
  std::size_t end = line.find_last_not_of(' ');
  for (std::size_t i = p; i <= end; ++i)
    if (line[i] != '^' && line[i] != '~' && line[i] != ' ') return std::string::npos;
  return p;
}

}  // namespace

std::string Colour_Line(const std::string& raw) {
  if (raw.find('\x1b') != std::string::npos) return raw;
  bool cr = !raw.empty() && raw.back() == '\r';
  std::string line = cr ? raw.substr(0, raw.size() - 1) : raw;
  std::string out;
  Kind_Mark m = Find_Kind(line);
  std::size_t caret = m.found ? std::string::npos : Caret_At(line);
  if (m.found) {
    const char* colour = m.kind == Diagnostic::error ? RED : m.kind == Diagnostic::warning ? MAGENTA : CYAN;
    out = std::string(BOLD) + line.substr(0, m.locus + 1) + RESET + line.substr(m.locus + 1, m.at - m.locus - 1) +
          colour + line.substr(m.at, m.size) + RESET + line.substr(m.at + m.size);
  } else if (caret != std::string::npos) {
    std::size_t end = line.find_last_not_of(' ') + 1;
    out = line.substr(0, caret) + GREEN + line.substr(caret, end - caret) + RESET + line.substr(end);
  } else {
    out = line;
  }
  return cr ? out + "\r" : out;
}

std::string Colouriser::Colour(const std::string& chunk) {
  std::string out;
  std::size_t from = 0;
  while (from < chunk.size()) {
    std::size_t lf = chunk.find('\n', from);
    std::size_t end = lf == std::string::npos ? chunk.size() : lf;
    if (passing_) {
      out += chunk.substr(from, end - from);
    } else {
      held_ += chunk.substr(from, end - from);
      if (lf == std::string::npos && held_.size() > HOLD_LIMIT) {
        out += held_;
        held_.clear();
        passing_ = true;
      }
    }
    if (lf == std::string::npos) break;
    if (!passing_) out += Colour_Line(held_);
    out += '\n';
    held_.clear();
    passing_ = false;
    from = lf + 1;
  }
  return out;
}

std::string Colouriser::End() {
  std::string out = held_.empty() ? "" : Colour_Line(held_);
  held_.clear();
  passing_ = false;
  return out;
}
