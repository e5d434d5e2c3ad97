#include "build/commands.h"

#include <cstdint>

#include "paths/paths.h"
#include "platform/files.h"

namespace {

// A relative path that begins with "-" would be taken for an option by
// the compiler; "./" (".\" on Windows) in front names the same file.
std::string Not_An_Option(std::string path) {
  if (!path.empty() && path[0] == '-') return "." + platform::Separator() + path;
  return path;
}

}  // namespace

std::string Exe_Path(std::string fpath) {
  std::int32_t lf = static_cast<std::int32_t>(fpath.size());
  if (lf < 4) return ".exe";  // never from Read_File_Path, which ends in ".cpp"
  return fpath.substr(0, static_cast<std::size_t>(lf - 4)) + ".exe";
}

std::string Compile_Command(std::string com_path, std::string com_settings, std::string epath,
                            std::string fpath) {
  std::string t = Change(com_path) + " " + com_settings;
  if (!com_settings.empty()) t += " ";
  t += "-g -o " + Change(Not_An_Option(epath)) + " " + Change(Not_An_Option(fpath));
  return "cmd /c" + Change(t);
}

std::string Pauser_Launch_Command(std::string con_path, std::string epath) {
  return "start \"\" " + Change(con_path) + " " + Change(epath);
}

std::string Direct_Launch_Command(std::string fpath, std::string epath) {
  return "start " + Change(fpath) + " " + Change(epath);
}
