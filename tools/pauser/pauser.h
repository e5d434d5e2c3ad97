// velder-pauser: starts PROGRAM [ARGUMENT...] without a shell, waits,
// reports the time it took and how it ended, and pauses.
#pragma once

#include <string>

struct Ending {
  bool started = false;
  std::string name;      // the program as given, UTF-8
  std::string why;       // not started: the reason, in Chinese
  bool signaled = false;  // ended by a signal (POSIX)
  long long code = 0;    // the exit code, or the signal number
  int status = 127;      // what the pauser exits with
};

// Per platform: runs the program named by the pauser's first argument
// with the others as its arguments and waits for it. Ctrl+C reaches the
// program; the pauser stays to report.
Ending Run_Program(int argc, char** argv);

// The report line for a program that ran for seconds.
std::string Report(const Ending& e, double seconds);
