#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/command.h"
#include "platform/utf16_win32.h"

namespace platform {

int system(std::string t) {
  std::cout.flush();
  std::fflush(stdout);
  // The narrow system() would read the line in the ANSI code page and
  // garble every non-ASCII path; cmd.exe gets the UTF-16 form instead.
  std::wstring w;
  if (!To_Wide(t, w)) return 1;
  return _wsystem(w.c_str());
}

}  // namespace platform
