#include "config/compiler_search.h"

#include <cctype>
#include <unordered_set>

#include "paths/paths.h"
#include "platform/files.h"

namespace {

bool Is_Separator(char c) { return c == '/' || std::string(1, c) == platform::Separator(); }

std::string Join(std::vector<std::string> parts) {
  std::string s = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) s += platform::Separator() + parts[i];
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool Ends_With(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// A word such as 13.2.0, 12.2.0-14 or 17.0.6: digits, a dot, a digit.
bool Has_Version_Number(const std::string& line) {
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    bool word_start = i == 0 || line[i - 1] == ' ' || line[i - 1] == '(';
    if (!word_start || !std::isdigit(static_cast<unsigned char>(line[i]))) continue;
    std::size_t j = i;
    while (j < line.size() && std::isdigit(static_cast<unsigned char>(line[j]))) ++j;
    if (j + 1 < line.size() && line[j] == '.' &&
        std::isdigit(static_cast<unsigned char>(line[j + 1])))
      return true;
  }
  return false;
}

std::string First_Line(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    std::string line = text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) return line;
    if (lf == std::string::npos) break;
    pos = lf + 1;
  }
  return "";
}

}  // namespace

std::vector<std::string> Split_Search_Path(std::string value, char sep) {
  std::vector<std::string> folders;
  std::size_t pos = 0;
  while (pos <= value.size()) {
    std::size_t end = value.find(sep, pos);
    if (end == std::string::npos) end = value.size();
    std::string f = value.substr(pos, end - pos);
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    // "C:\" keeps its backslash: "C:" alone would mean the drive's
    // current folder. "/" becomes "", to which "/g++" is added.
    while (!f.empty() && Is_Separator(f.back()) && !(f.size() == 3 && f[1] == ':')) f.pop_back();
    if (!f.empty() || (end > pos && Is_Separator(value[pos]))) folders.push_back(f);
    pos = end + 1;
  }
  return folders;
}

std::vector<std::string> Search_Order(const platform::Compiler_Places& p) {
  std::vector<std::string> order = Split_Search_Path(p.user_path, p.list_separator);
  for (const std::string& f : Split_Search_Path(p.machine_path, p.list_separator))
    order.push_back(f);
  const std::vector<std::vector<std::string>> on_drive = {
      {"msys64", "ucrt64", "bin"}, {"msys64", "mingw64", "bin"}, {"msys64", "clang64", "bin"},
      {"MinGW", "bin"},            {"mingw64", "bin"},           {"TDM-GCC-64", "bin"},
      {"w64devkit", "bin"}};
  for (const std::string& d : p.drives)
    for (std::vector<std::string> f : on_drive) {
      f.insert(f.begin(), d);
      order.push_back(Join(f));
    }
  for (const std::string& pf : p.program_folders)
    for (const char* bundle : {"MinGW64", "MinGW", "TDM-GCC-64", "mingw32"})
      order.push_back(Join({pf, bundle, "bin"}));
  // Each once: a folder both on the search path and among the usual
  // places costs one run, not two.
  std::vector<std::string> once;
  std::unordered_set<std::string> seen;
  for (const std::string& f : order)
    if (seen.insert(f).second) once.push_back(f);
  return once;
}

bool Names_Compiler(std::string text) {
  std::string line = First_Line(text);
  if (line.find("clang version ") != std::string::npos) return true;
  std::string name = line.substr(0, line.find(' '));
  std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  name = Lower(name);
  if (Ends_With(name, ".exe")) name.resize(name.size() - 4);
  bool gnu_name = Ends_With(name, "g++") || Ends_With(name, "gcc") || Ends_With(name, "c++");
  return gnu_name && name.size() < line.size() && Has_Version_Number(line);
}

std::string First_Working(const std::vector<std::string>& folders, std::string file_name,
                          const std::function<bool(std::string)>& works) {
  for (const std::string& f : folders) {
    std::string path = f + platform::Separator() + file_name;
    if (Isfile(path) && works(path)) return path;
  }
  return "";
}

std::string Find_Compiler() {
  return First_Working(Search_Order(platform::Find_Compiler_Places()),
                       platform::Compiler_File_Name(), [](std::string path) {
                         std::string text;
                         return platform::Ask_Version(path, VERSION_SECONDS, text) &&
                                Names_Compiler(text);
                       });
}
