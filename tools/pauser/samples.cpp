#include "samples.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>


namespace fs = std::filesystem;

namespace {

// ---- Finding the cases --------------------------------------------------

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Whether name begins with head, in any letter case: X.exe and x.in
// belong together, as they would for Windows.
bool Starts_With(const std::string& name, const std::string& head) {
  return name.size() >= head.size() && Lower(name.substr(0, head.size())) == Lower(head);
}

// Whether name is base + "." + ext, ext in any letter case.
bool Has_Extension(const std::string& name, const std::string& base, const std::string& ext) {
  return name.size() == base.size() + 1 + ext.size() && Starts_With(name, base) &&
         name[base.size()] == '.' && Lower(name.substr(base.size() + 1)) == ext;
}

bool All_Digits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number k of a case as a sort key: digits without leading zeros
// compare by length first, so that no number is too long to order.
std::string Number_Key(std::string digits) {
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  return std::string(1, static_cast<char>('0' + std::min<std::size_t>(digits.size(), 70))) + digits;
}

struct Found {
  std::string key;
  Sample sample;
};

}  // namespace

std::string Program_Stem(const std::string& file_name) {
  std::size_t n = file_name.size();
  return n > 4 && Lower(file_name.substr(n - 4)) == ".exe" ? file_name.substr(0, n - 4) : file_name;
}

std::vector<Sample> Find_Samples(const std::string& dir, const std::string& stem) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator i(fs::u8path(dir), ec), end; !ec && i != end; i.increment(ec))
    if (i->is_regular_file(ec)) names.push_back(i->path().filename().u8string());
  std::sort(names.begin(), names.end());
  // The name that matches exactly comes first: where the system tells
  // p1.ans from P1.ans, p1.in's answer is p1.ans. Letter case is ignored
  // only when nothing matches exactly.
  auto first_named = [&](const std::string& base, const std::string& ext) {
    std::string exact = base + "." + ext, found;
    int best = 3;
    for (const std::string& n : names) {
      if (!Has_Extension(n, base, ext)) continue;
      int rank = n == exact ? 0 : n.compare(0, base.size(), base) == 0 ? 1 : 2;
      if (rank < best) best = rank, found = n;
    }
    return found;
  };
  std::vector<Found> found;
  for (const std::string& n : names) {
    if (n.size() < stem.size() + 3 || Lower(n.substr(n.size() - 3)) != ".in" ||
        !Starts_With(n, stem))
      continue;
    std::string base = n.substr(0, n.size() - 3), k = base.substr(stem.size());
    if (!k.empty() && k[0] == '_') k.erase(0, 1);
    if (base.size() > stem.size() && !All_Digits(k)) continue;
    std::string answer = first_named(base, "ans");
    // The bare stem.out is what a program that opens its own files writes.
    if (answer.empty() && base.size() > stem.size()) answer = first_named(base, "out");
    Sample s{n, (fs::u8path(dir) / fs::u8path(n)).u8string(), ""};
    if (!answer.empty()) s.answer = (fs::u8path(dir) / fs::u8path(answer)).u8string();
    found.push_back({(base.size() == stem.size() ? "0" : "1" + Number_Key(k)) + '/' + n, s});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.key < b.key; });
  std::vector<Sample> samples;
  for (const Found& f : found) samples.push_back(f.sample);
  return samples;
}

long long Output_Limit(long long answer_bytes) {
  const long long mib = 1024 * 1024;
  if (answer_bytes < 0) return 64 * mib;
  return std::min(64 * mib, std::max(mib, 8 * answer_bytes));
}

namespace {

// ---- Comparing ----------------------------------------------------------

// A file read in blocks, byte by byte, that can go back to an offset.
class Reader {
 public:
  explicit Reader(const std::string& path) : in_(fs::u8path(path), std::ios::binary), buf_(65536) {}

  int Get() {
    if (at_ == got_ && !Fill()) return EOF;
    return static_cast<unsigned char>(buf_[at_++]);
  }
  int Peek() {
    if (at_ == got_ && !Fill()) return EOF;
    return static_cast<unsigned char>(buf_[at_]);
  }
  long long Offset() const { return base_ + static_cast<long long>(at_); }
  void Seek(long long offset) {
    if (offset >= base_ && offset <= base_ + static_cast<long long>(got_)) {
      at_ = static_cast<std::size_t>(offset - base_);
      return;
    }
    in_.clear();
    in_.seekg(offset);
    base_ = offset;
    at_ = got_ = 0;
  }

 private:
  bool Fill() {
    base_ += static_cast<long long>(got_);
    at_ = got_ = 0;
    if (!in_) return false;
    in_.read(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    got_ = static_cast<std::size_t>(in_.gcount());
    return got_ > 0;
  }

  std::ifstream in_;
  std::vector<char> buf_;
  std::size_t at_ = 0, got_ = 0;
  long long base_ = 0;  // the file offset of buf_[0]
};

bool Blank(int c) { return c == ' ' || c == '\t'; }

// The text as it is compared: CR LF and a lone CR as LF; blanks at line
// ends and line feeds at the end left out. White space is only looked
// at ahead: when text follows, the reader goes back and hands out the
// blanks that turned out to be inside a line, so nothing is held in
// memory however long the run of blanks.
class Canonical {
 public:
  explicit Canonical(const std::string& path) : r_(path) {}

  long long line = 1, column = 0;  // where the next byte is

  int Next() {
    if (lf_ > 0) {
      --lf_;
      return Out('\n');
    }
    if (inner_end_ >= 0 && r_.Offset() < inner_end_) return Out(r_.Get());
    inner_end_ = -1;
    long long start = r_.Offset();
    int c = r_.Get();
    if (c == EOF || (!Blank(c) && c != '\r' && c != '\n')) return Out(c);
    long long lfs = 0, blanks = start;  // blanks: where those of the last line began
    r_.Seek(start);
    for (;;) {
      long long at = r_.Offset();
      c = r_.Get();
      if (c == EOF) return EOF;
      if (c == '\r' && r_.Peek() == '\n') r_.Get();
      if (c == '\r' || c == '\n') {
        ++lfs;
        blanks = r_.Offset();
      } else if (!Blank(c)) {
        lf_ = lfs;
        r_.Seek(blanks);
        inner_end_ = at;
        return Next();
      }
    }
  }

 private:
  int Out(int c) {
    if (c == '\n') {
      ++line;
      column = 0;
    } else if (c != EOF) {
      ++column;
    }
    return c;
  }

  Reader r_;
  long long lf_ = 0;          // line feeds to hand out before the text that follows
  long long inner_end_ = -1;  // blanks inside a line to hand out, up to this offset
};

bool Space(int c) { return Blank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The words of the text, one space between each two.
class Words {
 public:
  explicit Words(const std::string& path) : r_(path) {}
  int Next() {
    if (held_ != EOF) return std::exchange(held_, EOF);
    bool gap = false;
    for (;;) {
      int c = r_.Get();
      if (c == EOF) return EOF;
      if (Space(c)) {
        gap = started_;
        continue;
      }
      started_ = true;
      if (!gap) return c;
      held_ = c;
      return ' ';
    }
  }

 private:
  Reader r_;
  bool started_ = false;
  int held_ = EOF;
};

template <class Stream>
bool Same(Stream a, Stream b) {
  for (;;) {
    int x = a.Next(), y = b.Next();
    if (x != y) return false;
    if (x == EOF) return true;
  }
}

// ---- Showing a line -----------------------------------------------------

// One character as shown, and how many console columns it takes.
struct Glyph {
  std::string text;
  int width;
  long long byte;  // its offset in the line
};

std::string Hex_Escape(unsigned char c) {
  char s[8];
  std::snprintf(s, sizeof s, "\\x%02X", c);
  return s;
}

// East Asian wide characters take two columns.
int Width(unsigned cp) {
  bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
              (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
              (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
              (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
  return wide ? 2 : 1;
}

// The bytes of a line as glyphs: a tab as \t, other control characters
// and bytes that are not UTF-8 in hex, so that nothing is invisible.
std::vector<Glyph> Glyphs(const std::string& s, long long first_byte) {
  std::vector<Glyph> g;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    long long at = first_byte + static_cast<long long>(i);
    std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool whole = n > 1 && i + n <= s.size();
    unsigned cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; whole && k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      whole = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (n == 1 && c >= 0x20 && c != 0x7F) {
      g.push_back({std::string(1, static_cast<char>(c)), 1, at});
    } else if (n == 1 && c == '\t') {
      g.push_back({"\\t", 2, at});
    } else if (whole && cp >= 0xA0) {
      g.push_back({s.substr(i, n), Width(cp), at});
      i += n;
      continue;
    } else {
      g.push_back({Hex_Escape(c), 4, at});
    }
    ++i;
  }
  return g;
}

// One line of a file, around one column.
struct Line_Part {
  bool exists = false;
  std::string bytes;       // the bytes kept, from offset first
  long long first = 0;
  bool cut_after = false;  // the line goes on past the bytes kept
  bool trailing_blank = false;
  bool last_without_lf = false;
};

// The bytes of line n (1-based, lines ended by LF, CR LF or CR) from
// column - 200 to column + 400.
Line_Part Read_Line_Part(const std::string& path, long long n, long long column) {
  Line_Part p;
  Reader r(path);
  long long line = 1, col = 0;
  int c, last = EOF;
  p.first = std::max(0LL, column - 200);
  while ((c = r.Get()) != EOF) {
    bool end = c == '\r' || c == '\n';
    if (c == '\r' && r.Peek() == '\n') r.Get();
    if (line == n) {
      p.exists = true;
      if (end) break;
      if (col >= p.first && col < column + 400) p.bytes += static_cast<char>(c);
      p.cut_after = col >= column + 400;
      last = c;
      ++col;
    } else if (end) {
      if (++line > n) break;
      col = 0;
    }
  }
  p.trailing_blank = Blank(last);
  p.last_without_lf = p.exists && c == EOF;
  return p;
}

std::string Join(const std::vector<Glyph>& g, std::size_t from, std::size_t to) {
  std::string s;
  for (std::size_t i = from; i < to; ++i) s += g[i].text;
  return s;
}

// The line as shown after a label of 8 columns, on a line of at most 79:
// cut to fit around the column where the difference begins.
std::string Shown(const Line_Part& p, long long column) {
  if (!p.exists) return "（没有这一行）";
  std::string marks;
  if (p.trailing_blank) marks += "（行末有空格）";
  if (p.last_without_lf) marks += "（末尾没有换行）";
  if (p.bytes.empty() && p.first == 0 && marks.empty()) return "（空行）";
  int budget = 79 - 8 - 2 * static_cast<int>(marks.size() / 3) - 6;  // 6: the two "..."
  std::vector<Glyph> g = Glyphs(p.bytes, p.first);
  std::size_t at = 0;  // the glyph where the difference begins
  while (at < g.size() && g[at].byte < column) ++at;
  int total = 0;
  for (const Glyph& x : g) total += x.width;
  std::size_t from = 0, to = g.size();
  if (total > budget || p.first > 0 || p.cut_after) {
    // A third of the room before the difference, the rest after it.
    from = at;
    for (int w = 0; from > 0 && w + g[from - 1].width <= budget / 3; w += g[--from].width) {
    }
    int w = 0;
    for (to = from; to < g.size() && w + g[to].width <= budget; w += g[to++].width) {
    }
  }
  std::string s = Join(g, from, to);
  if (from > 0 || p.first > 0) s = "..." + s;
  if (to < g.size() || p.cut_after) s += "...";
  return s + marks;
}

}  // namespace

Comparison Compare_Files(const std::string& output, const std::string& answer) {
  Comparison r;
  Canonical a(answer), b(output);
  long long line, column;
  int x, y;
  do {
    line = a.line;
    column = a.column;
    x = a.Next();
    y = b.Next();
    if (x == y && x == EOF) return r;
  } while (x == y);
  // One has ended where the other goes on with a line feed: it has more
  // lines, maybe blank ones first. The first of them with text is the
  // one shown, missing on the other side.
  bool extra_line = (x == EOF && y == '\n') || (y == EOF && x == '\n');
  if (extra_line) {
    Canonical& more = x == EOF ? b : a;
    for (int c = '\n'; c == '\n'; c = more.Next()) ++line;
    column = 0;
  }
  r.match = Same(Words(answer), Words(output)) ? Match::format : Match::different;
  r.first.line = line;
  Line_Part e = Read_Line_Part(answer, line, column), o = Read_Line_Part(output, line, column);
  // A line in the blank tail that is ignored counts as missing.
  if (extra_line) (x == EOF ? e : o).exists = false;
  r.first.expected = Shown(e, column);
  r.first.actual = Shown(o, column);
  return r;
}

