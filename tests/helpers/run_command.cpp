// Hands each argument to the program's command layer in turn, as velder
// would, and exits with the last status. The argument "read" reads one
// line instead and prints it between brackets; "line" reads one line and
// runs it (on Windows the arguments arrive in the ANSI code page, a line
// of standard input as UTF-8 bytes).
#include <iostream>
#include <string>

#include "platform/command.h"
#include "platform/console.h"
#include "platform/input.h"

int main(int argc, char** argv) {
  platform::Init_Console();
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::string t = argv[i];
    if (t == "read") {
      std::string s;
      bool got = platform::Read_Line(s);
      std::cout << (got ? "[" + s + "]\n" : "[end]\n") << std::flush;
      continue;
    }
    if (t == "line" && !platform::Read_Line(t)) break;
    status = platform::system(t);
  }
  platform::End_Console();
  return status;
}
