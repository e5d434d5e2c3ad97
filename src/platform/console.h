// Console set-up: UTF-8 in both directions, timer resolution, and what the
// output terminal can do, decided once at start.
#pragma once

namespace platform {

// Called once, before anything is printed.
void Init_Console();

// Called on every way out of the program after Init_Console.
void End_Console();

// Closing the window (Windows: its close button, a log-off, a shut-down)
// or a hangup of the terminal (POSIX: SIGHUP, or the terminal on standard
// input gone) calls save once and ends the program. Called once, after
// Init_Console. Windows calls save on a thread of its own, while the
// program waits for input (or after a few seconds of waiting for it to);
// POSIX makes every read of standard input end, so that the program
// reaches End_For_Hangup through its end of input.
void On_Hangup(void (*save)());

// True once the terminal has hung up or the window is closing.
bool Hung_Up();

// Calls save, unless it has run, and ends the program as the hangup
// does: by SIGHUP on POSIX (status 1 where SIGHUP was ignored at start).
// On Windows it waits for the system to end the program.
[[noreturn]] void End_For_Hangup();

// True when standard output is a terminal that understands escape
// sequences (POSIX: a tty, TERM set and not "dumb"). Fixed after
// Init_Console.
bool Smart_Terminal();

}  // namespace platform
