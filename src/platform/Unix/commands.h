// What the POSIX side of the platform shares among its own files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/process.h"

namespace platform {

// The full path of a program named without a slash, found on PATH; a
// name with a slash as it is. Empty when there is none.
std::string Find_On_Path(std::string name);

// A program named without a slash that names a file in the working
// directory means that file, as for cmd.exe: the front end checked the
// name there, and a PATH search could find another program. Any other
// word as it is.
std::string Program_Word(std::string word);

// Starts s.argv[0] (searched on PATH when it has no slash) with the other
// words as its arguments, no shell. With wait: run as a job in this
// terminal and waited for. Without: to run on by itself, with no
// standard input. A line on standard error when it cannot be started.
Process_End Spawn(Process_Spec s, bool wait);
Process_End Spawn(std::vector<std::string> argv, bool wait);

// Writes all n bytes to fd, waiting (poll) while a non-blocking fd is
// full. False on an error (the reader gone: EPIPE, SIGPIPE being ignored).
bool Write_Out(int fd, const char* s, std::size_t n);

}  // namespace platform
