// Console set-up: UTF-8 in both directions, timer resolution, and what the
// output terminal can do, decided once at start.
#pragma once

namespace platform {

// Called once, before anything is printed.
void Init_Console();

// Called on every way out of the program after Init_Console.
void End_Console();

// True when standard output is a terminal that understands escape
// sequences (POSIX: a tty, TERM set and not "dumb"). Fixed after
// Init_Console.
bool Smart_Terminal();

}  // namespace platform
