#include "build/diagnose.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "build/diagnose_rules.h"

namespace {

// Messages and notes are cut before a pattern sees them: GCC's template
// messages run to kilobytes, and the regex engine recurses per character.
const std::size_t MESSAGE_LIMIT = 512, NOTES_LIMIT = 512, TRAIL_LIMIT = 64;

// ---- reading the output -------------------------------------------------

// A line without its CR and without the colour codes of
// -fdiagnostics-color (ESC '[' parameters, final byte).
std::string Plain(const std::string& s) {
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') continue;
    if (s[i] == '\x1b' && i + 1 < s.size() && s[i + 1] == '[') {
      i += 2;
      while (i < s.size() && !(s[i] >= '@' && s[i] <= '~')) ++i;
      continue;
    }
    r += s[i];
  }
  return r;
}

// English quotes however the locale drew them: 'x'. The linker's `x' too.
std::string Plain_Quotes(std::string s) {
  const char* fancy[] = {"\xe2\x80\x98", "\xe2\x80\x99"};  // U+2018, U+2019
  for (const char* q : fancy)
    for (std::size_t p; (p = s.find(q)) != std::string::npos;) s.replace(p, 3, "'");
  std::replace(s.begin(), s.end(), '`', '\'');
  return s;
}

bool Digits(const std::string& s) {
  return !s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "file:line:col", "file:line" or "file" (a drive letter's colon stays
// in the file): false when what stands there is no place.
bool Parse_Place(const std::string& s, Diagnostic::Place& p) {
  std::string rest = s;
  int nums[2] = {0, 0};
  int n = 0;
  for (; n < 2; ++n) {
    std::size_t c = rest.rfind(':');
    if (c == std::string::npos || !Digits(rest.substr(c + 1))) break;
    nums[n] = std::stoi(rest.substr(c + 1));
    rest.erase(c);
  }
  if (rest.empty()) return false;
  p.file = rest;
  p.line = n == 2 ? nums[1] : nums[0];
  p.column = n == 2 ? nums[0] : 0;
  return true;
}

// A name standing alone before "error:" is a program (g++, collect2,
// cc1plus), never a line of source that GCC echoed.
bool Program_Name(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::string("_.+-/\\: ").find(c) != std::string::npos;
  });
}

struct Mark {
  const char* text;
  Diagnostic::Kind kind;
  bool english;
};

// The kind words, English and as GCC's Chinese catalogue prints them.
const Mark MARKS[] = {
    {": fatal error: ", Diagnostic::error, true},
    {": error: ", Diagnostic::error, true},
    {": warning: ", Diagnostic::warning, true},
    {": note: ", Diagnostic::note, true},
    {": \xe8\x87\xb4\xe5\x91\xbd\xe9\x94\x99\xe8\xaf\xaf\xef\xbc\x9a", Diagnostic::error, false},  // 致命错误：
    {": \xe9\x94\x99\xe8\xaf\xaf\xef\xbc\x9a", Diagnostic::error, false},  // 错误：
    {": \xe8\xad\xa6\xe5\x91\x8a\xef\xbc\x9a", Diagnostic::warning, false},  // 警告：
    {": \xe9\x99\x84\xe6\xb3\xa8\xef\xbc\x9a", Diagnostic::note, false},  // 附注：
    {": \xe5\xa4\x87\xe6\xb3\xa8\xef\xbc\x9a", Diagnostic::note, false},  // 备注：
    {": \xe6\x8f\x90\xe7\xa4\xba\xef\xbc\x9a", Diagnostic::note, false},  // 提示：
};

// The linker's own lines: "…/ld: ", "…\ld.exe: " and the like.
std::size_t After_Linker_Name(const std::string& s) {
  for (const char* name : {"ld.exe: ", "ld: "}) {
    std::size_t p = s.find(name);
    if (p == std::string::npos) continue;
    if (p == 0 || s[p - 1] == '/' || s[p - 1] == '\\') return p + std::string(name).size();
  }
  return 0;
}

class Reader {
 public:
  void Line(const std::string& raw);
  std::vector<Diagnostic> done;

 private:
  void Add(Diagnostic d);
  bool Trail_Line(const std::string& s);
  bool Linker_Line(const std::string& s);
  std::vector<Diagnostic::Place> trail_;  // since the last diagnostic
  bool last_has_notes_ = false;
};

void Reader::Add(Diagnostic d) {
  d.message = Plain_Quotes(d.message).substr(0, MESSAGE_LIMIT);
  if (d.kind == Diagnostic::note) {
    if (last_has_notes_ && done.back().notes.size() < NOTES_LIMIT)
      done.back().notes += d.message.substr(0, NOTES_LIMIT - done.back().notes.size()) + "\n";
  } else {
    d.trail = trail_;
    done.push_back(d);
    last_has_notes_ = true;
  }
  trail_.clear();
}

// "a.cpp:6:14:   required from here", "In file included from a.cpp:1:",
// "                 from a.cpp:1,": the way into a header.
bool Reader::Trail_Line(const std::string& s) {
  std::string place;
  std::size_t p = s.find(":   required from ");
  if (p == std::string::npos) p = s.find(":   In instantiation of ");
  if (p != std::string::npos) {
    place = s.substr(0, p);
  } else {
    std::size_t q = s.find_first_not_of(' ');
    for (const char* lead : {"In file included from ", "from "}) {
      if (q == std::string::npos || s.compare(q, std::string(lead).size(), lead) != 0) continue;
      place = s.substr(q + std::string(lead).size());
      if (!place.empty() && (place.back() == ':' || place.back() == ',')) place.pop_back();
      break;
    }
  }
  Diagnostic::Place at;
  if (place.empty() || !Parse_Place(place, at) || at.line == 0) return false;
  if (trail_.size() < TRAIL_LIMIT) trail_.push_back(at);
  return true;
}

// "a.cpp:5: undefined reference to `f()'", "ld.exe: cannot open output
// file a.exe: Permission denied", "(.text+0x17): undefined reference to
// `main'": each one error.
bool Reader::Linker_Line(const std::string& s) {
  std::size_t start = After_Linker_Name(s);
  std::string rest = s.substr(start);
  std::size_t p = std::string::npos;
  for (const char* what : {"undefined reference to ", "multiple definition of "})
    p = std::min(p, rest.find(what));
  if (p == std::string::npos && (start == 0 || rest.find(" in function ") != std::string::npos ||
                                 rest.compare(0, 8, "warning:") == 0))
    return false;
  Diagnostic d;
  if (p != std::string::npos && p >= 2 && rest.compare(p - 2, 2, ": ") == 0) {
    Diagnostic::Place at;
    if (Parse_Place(rest.substr(0, p - 2), at) && at.line > 0) {
      d.file = at.file;
      d.line = at.line;
    }
    rest = rest.substr(p);
  }
  d.message = rest;
  Add(d);
  return true;
}

void Reader::Line(const std::string& raw) {
  std::string s = Plain(raw);
  if (s.empty() || s[0] == ' ' || s[0] == '|') {
    if (Trail_Line(s)) return;  // "                 from a.cpp:1:"
    return;                      // GCC's echo of a source line, a caret
  }
  Kind_Mark m = Find_Kind(s);
  if (m.found) {
    Diagnostic d;
    d.kind = m.kind;
    d.english = m.english;
    Diagnostic::Place at;
    if (Parse_Place(s.substr(0, m.locus), at) && at.line > 0) {
      d.file = at.file;
      d.line = at.line;
      d.column = at.column;
    }
    d.message = s.substr(m.at + m.size);
    d.message.erase(0, d.message.find_first_not_of(' '));
    Add(d);
    return;
  }
  if (Trail_Line(s)) return;
  Linker_Line(s);
}

}  // namespace

Kind_Mark Find_Kind(const std::string& line) {
  Kind_Mark best;
  if (line.empty() || line[0] == ' ') return best;
  for (const Mark& k : MARKS) {
    std::size_t p = line.find(k.text);
    if (p == std::string::npos || (best.found && p >= best.locus) || p == 0) continue;
    Diagnostic::Place at;
    std::string locus = line.substr(0, p);
    if (!(Parse_Place(locus, at) && at.line > 0) && !Program_Name(locus)) continue;
    best.found = true;
    best.kind = k.kind;
    best.english = k.english;
    best.locus = p;
    best.at = p + 2;
    std::string word = k.text + 2;
    best.size = word.back() == ' ' ? word.size() - 1 : word.size();
  }
  return best;
}

std::vector<Diagnostic> Parse_Output(const std::string& output) {
  Reader r;
  std::size_t from = 0;
  while (from < output.size()) {
    std::size_t end = output.find('\n', from);
    if (end == std::string::npos) end = output.size();
    r.Line(output.substr(from, end - from));
    from = end + 1;
  }
  return r.done;
}

// ---- the explanation ----------------------------------------------------

namespace {

std::string Base_Name(const std::string& path) {
  std::size_t p = path.find_last_of("/\\");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string Slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// The student's file however GCC wrote its name (as given, or with the
// other slash).
bool Is_Student(const std::string& file, const std::string& fpath) {
  if (file.empty()) return false;
  return Slashes(file) == Slashes(fpath) || Base_Name(file) == Base_Name(fpath);
}

Where Locate(const Diagnostic& d, const std::string& fpath) {
  Where w;
  if (Is_Student(d.file, fpath) && d.line > 0) {
    w.known = true;
    w.line = d.line;
    w.column = d.column;
    return w;
  }
  for (auto it = d.trail.rbegin(); it != d.trail.rend(); ++it) {
    if (!Is_Student(it->file, fpath)) continue;
    w.known = w.from_header = true;
    w.line = it->line;
    w.column = it->column;
    break;
  }
  return w;
}

// "1", "suggest", "!3", "1|11": a value's name, as opposed to the "{ }"
// of C++ in a sentence.
bool Value_Name(const std::string& s) {
  std::size_t end = s.find('|');
  std::string name = s.substr(0, end);
  if (!name.empty() && name[0] == '!') name.erase(0, 1);
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

// A sentence with its {name}s filled in; empty when it names a value
// that is not known ({name|default} has one), or when a {!name} it
// names is known.
std::string Fill(const std::string& sentence, const Values& v) {
  std::string r;
  for (std::size_t i = 0; i < sentence.size(); ++i) {
    std::size_t close = sentence[i] == '{' ? sentence.find('}', i) : std::string::npos;
    if (close != std::string::npos && !Value_Name(sentence.substr(i + 1, close - i - 1))) close = std::string::npos;
    if (close == std::string::npos) {
      r += sentence[i];
      continue;
    }
    std::string name = sentence.substr(i + 1, close - i - 1), fallback;
    bool absent = !name.empty() && name[0] == '!';
    std::size_t bar = name.find('|');
    bool has_default = bar != std::string::npos;
    if (has_default) {
      fallback = name.substr(bar + 1);
      name.erase(bar);
    }
    auto it = v.find(absent ? name.substr(1) : name);
    bool known = it != v.end() && !it->second.empty();
    if (absent) {
      if (known) return "";
    } else if (known) {
      r += it->second;
    } else if (has_default) {
      r += fallback;
    } else {
      return "";
    }
    i = close;
  }
  return r;
}

std::string Fill_All(const std::vector<std::string>& sentences, const Values& v) {
  std::string r;
  for (const std::string& s : sentences) r += Fill(s, v);
  return r;
}

// What GCC itself added: its "did you mean" and the header it names.
void Gcc_Hints(const std::string& text, Values& v) {
  static const std::regex suggest("did you mean '([^']+)'|suggested alternatives?:\\s*'([^']+)'");
  static const std::regex header("defined in header '<([^>]+)>'");
  std::smatch m;
  if (std::regex_search(text, m, suggest)) v["suggest"] = m[1].matched ? m[1].str() : m[2].str();
  if (std::regex_search(text, m, header)) v["header"] = m[1].str();
}

std::string Count_Line(int errors, int warnings) {
  std::string s = "共 " + std::to_string(errors) + " 个错误";
  if (warnings > 0) s += "、" + std::to_string(warnings) + " 个警告";
  s += "。";
  if (errors > 1) s += "先改第一个错误：后面的错误常常是它引起的。";
  return s + "\n";
}

// A line of the source as GCC shows it ("    5 |     int x = 3"), and a
// caret under display column col (0: none).
std::string Source_Block(const std::string& text, int number, int col) {
  std::string n = std::to_string(number);
  std::string gutter = std::string(n.size() < 5 ? 5 - n.size() : 0, ' ');
  std::string r = gutter + n + " | " + text + "\n";
  if (col > 0) r += std::string(gutter.size() + n.size(), ' ') + " | " + std::string(col - 1, ' ') + "^\n";
  return r;
}

bool Is_Error(const Diagnostic& d) {
  return d.kind == Diagnostic::error && d.message.compare(0, 12, "ld returned ") != 0;
}

// A rule that fits d; nullptr when none does.
const Rule* Match(const Diagnostic& d, Rule_For kind, const Source& src, Where& w, Values& v) {
  if (!d.english) return nullptr;
  std::string text = d.message + "\n" + d.notes;
  for (const Rule& r : Rules()) {
    if (r.kind != kind && !(kind == Rule_For::error && r.kind == Rule_For::cause)) continue;
    std::smatch m;
    if (!std::regex_search(text, m, r.pattern)) continue;
    Values found;
    for (std::size_t i = 1; i < m.size(); ++i)
      if (m[i].matched) found[std::to_string(i)] = m[i].str();
    Gcc_Hints(text, found);
    Where at = w;
    if (!Look_At(r.look, src, at, found)) continue;
    w = at;
    v = found;
    return &r;
  }
  return nullptr;
}

// The first error, or a warning before it that says why the errors came
// (a feature of a newer standard).
std::size_t First_Error(const std::vector<Diagnostic>& ds, const Source& src) {
  for (std::size_t i = 0; i < ds.size(); ++i) {
    if (Is_Error(ds[i])) return i;
    Where w;
    Values v;
    const Rule* r = ds[i].kind == Diagnostic::warning ? Match(ds[i], Rule_For::cause, src, w, v) : nullptr;
    if (r && r->kind == Rule_For::cause) return i;
  }
  for (std::size_t i = 0; i < ds.size(); ++i)
    if (ds[i].kind == Diagnostic::error) return i;  // "ld returned 1 exit status" alone
  return ds.size();
}

std::string Place_Line(const Diagnostic& d, const Where& w, const std::string& fpath) {
  std::string at = Base_Name(fpath) + " 第 " + std::to_string(w.line) + " 行";
  if (w.from_header) return "第一个错误出在库文件 " + Base_Name(d.file) + " 里，起因是 " + at + "：\n";
  return "第一个错误在 " + at + "：\n";
}

std::string Shown_Line(const Source& src, const Where& w) {
  std::string text;
  if (!Source_Line(src, w.line, text)) return "";
  return Source_Block(text, w.line, Caret_Column(src, w));
}

}  // namespace

Explanation Explain_Failure(const std::string& output, const std::string& fpath, const std::string& source) {
  std::vector<Diagnostic> ds = Parse_Output(output);
  Source src = Read_Source(source);
  std::size_t first = First_Error(ds, src);
  if (first == ds.size()) return {};
  int errors = static_cast<int>(std::count_if(ds.begin(), ds.end(), Is_Error));
  int warnings = static_cast<int>(std::count_if(
      ds.begin(), ds.end(), [](const Diagnostic& d) { return d.kind == Diagnostic::warning; }));
  Explanation e;
  e.text = Count_Line(std::max(errors, 1), warnings);
  const Diagnostic& d = ds[first];
  Where w = Locate(d, fpath);
  Values v;
  const Rule* r = Match(d, Rule_For::error, src, w, v);
  if (w.known) e.text += Place_Line(d, w, fpath) + Shown_Line(src, w);
  if (!r) {
    e.rule = "unknown";
    e.text += "请看上方第一条 error。\n";
    return e;
  }
  e.rule = r->id;
  e.text += "原因：" + Fill_All(r->meaning, v) + "\n";
  e.text += "改法：" + Fill_All(r->fix, v) + "\n";
  return e;
}

Explanation Explain_Warnings(const std::string& output, const std::string& fpath, const std::string& source) {
  std::vector<Diagnostic> ds = Parse_Output(output);
  Source src = Read_Source(source);
  Explanation e;
  int count = 0;
  std::vector<std::string> said;
  std::string sentences;
  for (const Diagnostic& d : ds) {
    if (d.kind != Diagnostic::warning) continue;
    Where w = Locate(d, fpath);
    if (++count == 1) e.rule = "unknown";
    if (count == 1 && w.known) e.text = " 第一个在 " + Base_Name(fpath) + " 第 " + std::to_string(w.line) + " 行";
    Values v;
    const Rule* r = Match(d, Rule_For::warning, src, w, v);
    if (!r || std::find(said.begin(), said.end(), r->id) != said.end()) continue;
    if (said.empty()) e.rule = r->id;
    said.push_back(r->id);
    sentences += (w.known ? "第 " + std::to_string(w.line) + " 行：" : std::string()) + Fill_All(r->meaning, v) +
                 Fill_All(r->fix, v) + "\n";
  }
  if (count == 0) return {};
  e.text = "编译有 " + std::to_string(count) + " 个警告" + (e.text.empty() ? "" : "，" + e.text.substr(1)) +
           "。\n" + sentences;
  return e;
}

std::vector<std::string> Rule_Ids() {
  std::vector<std::string> ids;
  for (const Rule& r : Rules()) ids.push_back(r.id);
  return ids;
}
