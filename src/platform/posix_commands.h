// The POSIX stand-ins for the command lines the program issues, each in
// its own file. Every one returns the command's exit status.
#pragma once

#include <string>

namespace platform {

int Clear_Screen();
int Pause_For_Key();
int Set_Title(std::string title);

}  // namespace platform
