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

// How many bytes the key at the start of s takes: one key press sends an
// escape sequence (ESC [ ... final byte, ESC O x, Alt+key as ESC and the
// key), a whole UTF-8 character, or one byte. A result of s.size() or
// less is the length of that key; a larger one says that the key goes on
// and needs at least that many bytes. A byte that cannot belong to the
// key ends it before that byte. s is not empty.
std::size_t Key_Length(const std::string& s);

bool Stdin_Is_Terminal();

// Shows text and waits for one key press, taken whole, as the pause
// does: on a terminal or console not echoed, the mode put back after.
// Returns the key's bytes ("\n" or "\r" for Enter). Without a terminal
// or console it reads one byte of standard input; empty once the input
// has ended.
std::string Prompt_For_Key(std::string text);

// Per platform: reads up to n bytes of standard input (on a Windows
// console, typed text converted to UTF-8). 0 at end of input, negative on
// error.
long Read_Raw(char* buf, std::size_t n);

// Forgets everything buffered; for tests that feed input through a pipe.
void Reset_Input();

}  // namespace platform
