#include "platform/cmd_lines.h"

#include "platform/files.h"

namespace platform {

namespace {

// A path between two double quotes, nothing escaped: a path holds none.
std::string Quoted(std::string s) { return "\"" + s + "\""; }

}  // namespace

std::string Not_An_Option(std::string path) {
  if (!path.empty() && path[0] == '-') return "." + Separator() + path;
  return path;
}

std::string Compile_Command(std::string com_path, std::string com_settings, std::string epath,
                            std::string fpath) {
  std::string t = Quoted(com_path) + " " + com_settings;
  if (!com_settings.empty()) t += " ";
  t += "-g -o " + Quoted(Not_An_Option(epath)) + " " + Quoted(Not_An_Option(fpath));
  return "cmd /c" + Quoted(t);
}

std::string Pauser_Launch_Command(std::string con_path, std::string epath) {
  return "start \"\" " + Quoted(con_path) + " " + Quoted(epath);
}

std::string Direct_Launch_Command(std::string fpath, std::string epath) {
  return "start " + Quoted(fpath) + " " + Quoted(epath);
}

std::string Editor_Command(std::string fpath) { return "notepad.exe " + Quoted(fpath); }

}  // namespace platform
