// The one way the program acts outside itself: a command line handed to
// the platform's command processor. On Windows that is cmd.exe; on POSIX
// the few fixed command lines the program issues are interpreted here,
// without any shell.
#pragma once

#include <string>

namespace platform {

// Runs one command line (UTF-8) and returns its exit status. Standard
// output is flushed first so that the program's text and the command's
// text reach the screen in order.
int system(std::string t);

}  // namespace platform
