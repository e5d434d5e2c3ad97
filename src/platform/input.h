// Standard input, read through one buffer so that the pause can tell
// whether a key is already waiting.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Reads one line: the bytes up to the next LF, with a CR right before the
// LF dropped. A last line without LF is still a line. Returns false, with
// s empty, once the input has ended or failed.
bool Read_Line(std::string& s);

// Hands out one byte already read from standard input but not yet used
// by Read_Line. False when there is none.
bool Take_Buffered_Byte(char& c);

bool Stdin_Is_Terminal();

// Per platform: reads up to n bytes of standard input (on a Windows
// console, typed text converted to UTF-8). 0 at end of input, negative on
// error.
long Read_Raw(char* buf, std::size_t n);

// Forgets everything buffered; for tests that feed input through a pipe.
void Reset_Input();

}  // namespace platform
