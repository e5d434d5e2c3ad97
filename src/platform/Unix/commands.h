// The POSIX stand-ins for the command lines the program issues, each in
// its own file. Every one returns the command's exit status.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/process.h"

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
// words as its arguments, no shell. With wait: run as a job in this
// terminal and waited for. Without: to run on by itself, with no
// standard input. A line on standard error when it cannot be started.
Process_End Spawn(std::vector<std::string> argv, bool wait);

// Writes all n bytes to fd, waiting (poll) while a non-blocking fd is
// full. False on an error (the reader gone: EPIPE, SIGPIPE being ignored).
bool Write_Out(int fd, const char* s, std::size_t n);

// Whether sig was ignored when the program started (noted by
// Init_Console). Such a signal stays ignored everywhere, and the programs
// started inherit it ignored, as a shell leaves them; any other gets its
// default in them.
bool Ignored_At_Start(int sig);

// The hangup set up by On_Hangup: the descriptor that becomes readable
// once SIGHUP has come (-1 without one), whether velder handles SIGHUP at
// all, and a check, after a read that ended, whether the terminal that
// standard input was at start has gone (then Hung_Up becomes true).
int Hangup_Wake_Fd();
bool Hangup_Handled();
void Note_Terminal_Gone();

// "cmd /c" + text and "start " + words, each program started directly.
// A program word without a slash that names a file in the working
// directory means that file, as for cmd.exe; otherwise PATH is searched.
int Cmd_Command(std::string text);
int Start_Command(std::string words);
std::string Program_Word(std::string word);

}  // namespace platform
