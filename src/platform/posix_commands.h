// The POSIX stand-ins for the command lines the program issues, each in
// its own file. Every one returns the command's exit status.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>
#include <vector>

#include <sys/types.h>
#include <termios.h>

namespace platform {

int Clear_Screen();
int Pause_For_Key();
int Set_Title(std::string title);

// The editor for "notepad.exe " + a quoted path: VISUAL, else EDITOR, else
// the first of editor, nano and vi on PATH, started in this terminal with
// the path as its last argument. 127 when there is none.
int Open_Editor(std::string tail);

// The full path of a program named without a slash, found on PATH; a
// name with a slash as it is. Empty when there is none.
std::string Find_On_Path(std::string name);

// Starts argv[0] (searched on PATH when it has no slash) with the other
// words as its arguments, no shell, with SIGINT and SIGQUIT at their
// defaults in the child (unless ignored at start) and ignored here
// meanwhile, and the terminal's mode put back after it. With wait: its
// exit status, 128 + N for signal N. 127, and a line on standard error, when
// it cannot be started. Without wait: 0 once started; the program runs on
// in a process group of its own, with no standard input.
int Spawn(std::vector<std::string> argv, bool wait);

// While a program runs in the foreground, Ctrl+C and Ctrl+\ are for it,
// not for the one waiting: they are ignored for the life of this guard,
// as system() does. And as a shell does, the terminal's mode is noted
// when the guard is made and put back when it goes, with the terminal
// handed back to this process group, so that a program that leaves the
// terminal raw (or dies before it can restore it) leaves nothing behind.
struct Ignore_Interrupts {
  struct sigaction old_int, old_quit;
  struct termios mode;
  bool have_mode = false;
  int in_flags = -1;  // standard input's file status flags (O_NONBLOCK)
  Ignore_Interrupts();
  ~Ignore_Interrupts();
};

// Writes all n bytes to fd, waiting (poll) while a non-blocking fd is
// full. False on an error (the reader gone: EPIPE, SIGPIPE being ignored).
bool Write_Out(int fd, const char* s, std::size_t n);

// Whether sig was ignored when the program started (noted by
// Init_Console). Such a signal stays ignored everywhere, and the programs
// started inherit it ignored, as a shell leaves them.
bool Ignored_At_Start(int sig);

// Whether this process's group owns the terminal on standard input.
bool In_Foreground();

// Sets the terminal's mode without ever being stopped for it: SIGTTOU is
// blocked meanwhile, so that a process in the background (or a signal
// handler run there) changes it instead of stopping. False on failure.
bool Set_Mode_Quietly(const struct termios& mode);

// posix_spawn of the program at prog (found already) with argv, SIGINT
// and SIGQUIT at their defaults (unless they were ignored at start),
// SIGPIPE at its default and no signal blocked in the child; detached: a process group of its own and no standard input.
// Returns 0, or the error that kept it from starting.
int Start_Program(std::string prog, std::vector<std::string> argv, bool detach, pid_t& pid);

// Spawn with wait, telling apart a program that could not be started
// (started false) from one that ended with status 127.
int Spawn_And_Wait(std::vector<std::string> argv, bool& started);

// "cmd /c" + text and "start " + words, each program started directly.
// A program word without a slash that names a file in the working
// directory means that file, as for cmd.exe; otherwise PATH is searched.
int Cmd_Command(std::string text);
int Start_Command(std::string words);
std::string Program_Word(std::string word);

}  // namespace platform
