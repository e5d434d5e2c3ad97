// velder-pauser: starts PROGRAM [ARGUMENT...] without a shell, waits,
// reports how it ended and what it used, and pauses.
#pragma once

#include <string>

struct Ending {
  bool started = false;
  std::string name;          // the program as given, UTF-8
  std::string why;           // not started: the reason; else the code's name
  bool signaled = false;     // ended by a signal (POSIX)
  bool crashed = false;      // ended by an exception known by name (Windows)
  long long code = 0;        // the exit code, or the signal number
  std::string hint;          // for a common crash, its likely cause
  int status = 127;          // what the pauser exits with
  double seconds = 0;        // wall time from start to end
  double cpu_seconds = 0;    // user plus system time
  long long peak_bytes = 0;  // peak resident memory; 0 when not known
};

// Per platform: runs the program named by the pauser's first argument
// with the others as its arguments, waits for it and gathers what it
// used. Ctrl+C reaches the program; the pauser stays to report.
Ending Run_Program(int argc, char** argv);

// Per platform: drops keys typed at the terminal or console while the
// program ran and that it did not read, so that only a key pressed after
// the report ends the pause. Input from a pipe or a file is left alone.
void Discard_Typed_Keys();

// The report: one line, and a second with the hint when there is one.
std::string Report(const Ending& e);
