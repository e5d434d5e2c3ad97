#include "paths/paths.h"

#include <filesystem>
#include <system_error>

#include "console/console.h"
#include "platform/files.h"

Entry Kind_Of(std::string s) {
  // A path goes onto command lines between double quotes, which cannot
  // hold a double quote, and a NUL would cut it short in every system
  // call: such a line names nothing (Windows refuses both in names too).
  if (s.find('"') != std::string::npos || s.find('\0') != std::string::npos) return Entry::nothing;
  std::filesystem::path p;
  if (!platform::Native_Path(s, p)) return Entry::nothing;
  std::error_code ec;
  std::filesystem::file_status st = std::filesystem::status(p, ec);
  if (ec || !std::filesystem::exists(st)) return Entry::nothing;
  return std::filesystem::is_regular_file(st) ? Entry::file : Entry::other;
}

bool Has_Extension(std::string ans, std::string wh) {
  std::size_t pos = ans.rfind('.');
  if (pos == std::string::npos) return false;
  std::string ext = ans.substr(pos + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == wh;
}

std::string Read_File_Path(std::string wh) {
  for (;;) {
    std::string ans = Read_Text();
    Entry k = Kind_Of(ans);
    if (k == Entry::nothing) {
      Print("路径无效，请重新输入。", 1);
    } else if (k == Entry::other) {
      Print("路径指向的不是文件，请重新输入。", 1);
    } else if (Has_Extension(ans, wh) || (wh == "exe" && platform::Is_Executable(ans))) {
      return ans;
    } else {
      Print("路径指向的文件类型不正确，请重新输入。", 1);
    }
  }
}

std::string Read_Path() {
  for (;;) {
    std::string ans = Read_Text();
    if (Kind_Of(ans) != Entry::nothing) return ans;
    Print("路径无效，请重新输入。", 1);
  }
}

bool Isfile(std::string s) { return Kind_Of(s) == Entry::file; }

std::string Change(std::string s) { return "\"" + s + "\""; }
