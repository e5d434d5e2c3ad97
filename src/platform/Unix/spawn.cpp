// Starting a program by name, without a shell: the command layer's way
// to the one process seam.
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Unix/commands.h"

namespace platform {

std::string Find_On_Path(std::string name) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string full = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
      return full;
    if (colon == std::string::npos) return std::string();
    start = colon + 1;
  }
}

std::string Program_Word(std::string word) {
  if (word.empty() || word.find('/') != std::string::npos) return word;
  struct stat st;
  if (stat(word.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return "./" + word;
  return word;
}

Process_End Spawn(std::vector<std::string> argv, bool wait) {
  Process_Spec s;
  s.argv = argv;
  return Spawn(s, wait);
}

Process_End Spawn(Process_Spec s, bool wait) {
  Process_End e;
  if (s.argv.empty() || s.argv[0].empty()) {
    std::cerr << "velder: no program to start\n";
    return e;
  }
  const std::string name = s.argv[0];
  s.program = Find_On_Path(name);
  if (s.program.empty()) {
    std::cerr << "velder: " << name << ": not found\n";
    return e;
  }
  if (!wait) s.input = "/dev/null";
  e = wait ? Run_Process(s) : Start_Process(s);
  if (!e.started) std::cerr << "velder: " << name << ": " << std::strerror(e.error) << '\n';
  return e;
}

}  // namespace platform
