#include <cstdio>
#include <iostream>

#include "platform/command.h"
#include "platform/Unix/commands.h"

namespace platform {

namespace {

bool Starts_With(const std::string& t, const char* head) {
  return t.compare(0, std::char_traits<char>::length(head), head) == 0;
}

}  // namespace

int system(std::string t) {
  std::cout.flush();
  std::fflush(stdout);
  if (t == "cls") return Clear_Screen();
  if (t == "pause") return Pause_For_Key();
  if (Starts_With(t, "title ")) return Set_Title(t.substr(6));
  if (Starts_With(t, "cmd /c")) return Cmd_Command(t.substr(6));
  if (Starts_With(t, "start ")) return Start_Command(t.substr(6));
  if (Starts_With(t, "notepad.exe ")) return Open_Editor(t.substr(12));
  std::cerr << "velder: unknown command line: " << t << '\n';
  return 1;
}

}  // namespace platform
