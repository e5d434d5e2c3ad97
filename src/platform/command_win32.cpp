#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/command.h"
#include "platform/input.h"
#include "platform/utf16_win32.h"

namespace platform {

namespace {

// cmd.exe's own "pause" reads a key from standard input even when that
// is a pipe or a file: it would eat a byte of the answers that follow,
// or, since velder reads ahead, of whatever lies beyond its buffer. So
// without a console the pause only shows its prompt and reads nothing,
// as on POSIX.
int Pause_Without_Console() {
  std::cout << "请按任意键继续……\n";
  std::cout.flush();
  return 0;
}

}  // namespace

int system(std::string t) {
  std::cout.flush();
  std::fflush(stdout);
  if (t == "pause" && !Stdin_Is_Terminal()) return Pause_Without_Console();
  // The narrow system() would read the line in the ANSI code page and
  // garble every non-ASCII path; cmd.exe gets the UTF-16 form instead.
  std::wstring w;
  if (!To_Wide(t, w)) return 1;
  return _wsystem(w.c_str());
}

}  // namespace platform
