// The editor that stands in for notepad.exe: the user's own choice, as
// other terminal programs honour it, else a common one found on PATH.
#include <cstdlib>
#include <iostream>

#include "platform/posix_commands.h"
#include "platform/words.h"

namespace platform {

namespace {

// The words of an editor variable; none when it is unset or blank.
std::vector<std::string> From_Variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? Split_Texts(v) : std::vector<std::string>();
}

std::vector<std::string> Editor_Command() {
  std::vector<std::string> argv = From_Variable("VISUAL");
  if (argv.empty()) argv = From_Variable("EDITOR");
  if (!argv.empty()) return argv;
  for (const char* name : {"editor", "nano", "vi"})
    if (!Find_On_Path(name).empty()) return {name};
  return argv;
}

// The files named after "notepad.exe". The program hands over one path
// between double quotes; that path may itself hold double quotes, which
// splitting would drop, so such a tail is taken apart exactly.
std::vector<std::string> Files_Of(const std::string& tail) {
  if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"')
    return {tail.substr(1, tail.size() - 2)};
  return Split_Texts(tail);
}

}  // namespace

int Open_Editor(std::string tail) {
  std::vector<std::string> argv = Editor_Command();
  if (argv.empty()) {
    std::cerr << "velder: 找不到编辑器：请设置 VISUAL 或 EDITOR，或安装 editor、nano、vi 之一。\n";
    return 127;
  }
  for (std::string f : Files_Of(tail)) {
    // An editor would take a name beginning with "-" for an option.
    if (!f.empty() && f[0] == '-') f = "./" + f;
    argv.push_back(f);
  }
  return Spawn(argv, true);
}

}  // namespace platform
