// The editor that stands in for notepad.exe: the user's own choice, as
// other terminal programs honour it, else a common one found on PATH.
#include <cstdlib>
#include <iostream>

#include "platform/Unix/commands.h"
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

}  // namespace

int Open_Editor(std::string tail) {
  std::vector<std::string> argv = Editor_Command();
  if (argv.empty()) {
    std::cerr << "velder: 找不到编辑器：请设置 VISUAL 或 EDITOR，或安装 editor、nano、vi 之一。\n";
    return 127;
  }
  // The program hands over one path between double quotes; a path never
  // holds a double quote itself, so the split gives it back whole.
  for (std::string f : Split_Texts(tail)) {
    // An editor would take a name beginning with "-" for an option.
    if (!f.empty() && f[0] == '-') f = "./" + f;
    argv.push_back(f);
  }
  return Exit_Status(Spawn(argv, true));
}

}  // namespace platform
