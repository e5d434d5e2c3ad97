// cmd.exe run with one command line, on the Windows side only.
#pragma once

#include <string>

#include "platform/process.h"

namespace platform {

// Runs the cmd.exe of the system folder with line (UTF-8) as its whole
// command line, given this process's standard handles (or s's pipe), and
// waits for it. argv and program of s are not used.
Process_End Run_Cmd_Line(Process_Spec s, std::string line);

}  // namespace platform
