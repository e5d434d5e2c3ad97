// The processes running a given program file. On Windows the file of a
// running program cannot be written, so a rebuild would fail while one
// runs; on POSIX the linker puts a new file in place of a running one,
// which therefore never counts as held there.
#pragma once

#include <string>

namespace platform {

// How many processes are running the program file path: their image is
// that very file (the same file found by another path counts too).
// Always 0 on POSIX.
int Running_Copies(std::string path);

// The exit code End_Running_Copies gives the programs it ends, so that
// the pauser that ran one can say velder ended it. With the customer bit
// of a Windows status set, it is no code the system gives, and no value a
// program's main returns by chance.
constexpr unsigned long ENDED_FOR_REBUILD = 0xE0564C52;

// Ends every process running the program file path (exit code
// ENDED_FOR_REBUILD) and waits for them to be gone, a few seconds at
// most. True when none runs it any more.
bool End_Running_Copies(std::string path);

}  // namespace platform
