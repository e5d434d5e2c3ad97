// "cmd /c" + text: the compile command, run in this terminal and waited
// for, with cmd.exe's quote rule and the words a Windows program would
// get, but no shell.
#include <sys/stat.h>

#include "platform/Unix/commands.h"
#include "platform/words.h"

namespace platform {

std::string Program_Word(std::string word) {
  if (word.empty() || word.find('/') != std::string::npos) return word;
  // The front end checked this name against the working directory, so
  // that is where it means; a PATH search could find another program.
  struct stat st;
  if (stat(word.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return "./" + word;
  return word;
}

int Cmd_Command(std::string text) {
  // cmd.exe looks at the text after "/c" from its first non-blank byte.
  std::size_t first = text.find_first_not_of(" \t");
  text.erase(0, first == std::string::npos ? text.size() : first);
  std::vector<std::string> argv = Split_Command_Line(Strip_Outer_Quotes(text));
  if (!argv.empty()) argv[0] = Program_Word(argv[0]);
  return Exit_Status(Spawn(argv, true));
}

}  // namespace platform
