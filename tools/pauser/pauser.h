// velder-pauser: starts PROGRAM [ARGUMENT...] without a shell, waits,
// reports how it ended and what it used, and pauses. With sample cases
// beside the program it judges them first (judge.h).
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

struct Ending {
  bool started = false;
  std::string name;          // the program as given, UTF-8
  std::string why;           // not started: the reason; else the code's name
  bool signaled = false;     // ended by a signal (POSIX)
  bool crashed = false;      // ended by an exception known by name (Windows)
  bool for_rebuild = false;  // ended by velder to build it again (Windows)
  long long code = 0;        // the exit code, or the signal number
  std::string hint;          // for a common crash, its likely cause
  int status = 127;          // what the pauser exits with
  double seconds = 0;        // wall time from start to end
  double cpu_seconds = 0;    // user plus system time
  long long peak_bytes = 0;  // peak resident memory; 0 when not known
};

// Per platform: runs the program named by the pauser's first argument
// with the others as its arguments, in the folder that holds it, waits
// for it and gathers what it used. Ctrl+C reaches the program; the
// pauser stays to report.
Ending Run_Program(int argc, char** argv);

// Per platform: the pauser's arguments after its own name, in UTF-8
// (on Windows read from the wide command line).
std::vector<std::string> Arguments(int argc, char** argv);

// Per platform: the program the pauser's first argument names, found as
// Run_Program finds it, as an absolute path; empty when there is none.
std::string Find_Program(const std::string& name);

// Per platform: how a program named name ended, as the report tells it.
Ending Describe(const std::string& name, const platform::Process_End& end);

// Per platform: drops keys typed at the terminal or console while the
// program ran and that it did not read, so that only a key pressed after
// the report ends the pause. Input from a pipe or a file is left alone.
void Discard_Typed_Keys();

// Per platform: the console's title (Windows), or the terminal's where
// standard output is one that understands escape sequences (POSIX).
void Title_Window(const std::string& title);

// Per platform: how input from the keyboard ends ("Ctrl+D").
extern const char END_OF_INPUT[];

// name without the control characters a title cannot show, nor let
// through: an escape sequence in a file name must not reach the terminal.
std::string Title_Text(const std::string& name);

// The report: one line, and a second with the hint when there is one.
std::string Report(const Ending& e);

// How it ended, up to the first full stop ("程序已结束，返回值为 0。").
std::string Outcome(const Ending& e);

// v with the given number of decimals.
std::string Fixed(double v, int decimals);

// A memory size in KiB below 1 MiB, in MiB below 1 GiB, else in GiB.
std::string Memory_Size(long long bytes);
