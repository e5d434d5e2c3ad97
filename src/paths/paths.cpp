#include "paths/paths.h"

#include <filesystem>
#include <system_error>

#include "console/console.h"
#include "platform/files.h"
#include "platform/words.h"

std::string Rewritten_Character(std::string s) {
  std::size_t at = platform::Uncarried_At(s);
  if (at == std::string::npos) return "";
  platform::Cmd_Change c = platform::Cmd_Change_Of(s[at]);
  if (c != platform::Cmd_Change::variable && c != platform::Cmd_Change::delayed) return "";
  return s.substr(at, 1);
}

namespace {

bool Is_Separator(char c) { return !platform::Is_Plain_Name(std::string(1, c)); }

// Typing the path again cannot help when the entry exists: only a new
// name can, so the message names the file or folder to rename.
std::string Rewritten_Message(const std::string& ans) {
  std::string c = Rewritten_Character(ans);
  if (c.empty()) return "";
  std::filesystem::path p;
  std::error_code ec;
  std::filesystem::file_status st;
  if (platform::Native_Path_As_Typed(ans, p)) st = std::filesystem::status(p, ec);
  if (ec || !std::filesystem::exists(st))
    return "路径含有“" + c + "”，会被 cmd.exe 改写（当作变量展开），请重新输入。";
  // The name, one part of the path, that holds the character.
  std::size_t begin = ans.find(c), end = begin;
  while (begin > 0 && !Is_Separator(ans[begin - 1])) --begin;
  while (end < ans.size() && !Is_Separator(ans[end])) ++end;
  bool file = end == ans.size() && std::filesystem::is_regular_file(st);
  return (file ? "文件名“" : "文件夹名“") + ans.substr(begin, end - begin) + "”含有“" + c +
         "”，会被 cmd.exe 改写（当作变量展开）。请先给它改名，去掉“" + c + "”，再输入新的路径。";
}

}  // namespace

Entry Kind_Of(std::string s) {
  if (platform::Uncarried_At(s) != std::string::npos) return Entry::nothing;
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
    std::string rewritten = Rewritten_Message(ans);
    Entry k = Kind_Of(ans);
    if (!rewritten.empty()) {
      Print(rewritten, 1);
    } else if (k == Entry::nothing) {
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
    std::string rewritten = Rewritten_Message(ans);
    if (rewritten.empty() && Kind_Of(ans) != Entry::nothing) return ans;
    Print(rewritten.empty() ? "路径无效，请重新输入。" : rewritten, 1);
  }
}

bool Isfile(std::string s) { return Kind_Of(s) == Entry::file; }

std::string Change(std::string s) { return "\"" + s + "\""; }
