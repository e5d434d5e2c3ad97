// Windows only: std::cout and std::cerr on a console written as UTF-16.
#pragma once

namespace platform {

// When standard output or error is a console, routes std::cout or
// std::cerr to it through WriteConsoleW, whole characters at a time.
void Attach_Console_Streams();

// Writes out an unfinished character still held (as a replacement
// character); for the end of the program.
void Flush_Console_Streams();

}  // namespace platform
