// Starting one program directly, without a shell or cmd.exe, and waiting
// for it: how velder runs its compiler, its editor and a program in its
// own terminal, and how the pauser runs the user's program and its sample
// cases. One implementation per system behind this header.
#pragma once

#include <string>
#include <vector>

#include "platform/requests.h"

namespace platform {

struct Process_Spec {
  // argv[0] is the program as it is to be started (found already); the
  // rest are its arguments, each reaching it as one argument, unchanged.
  std::vector<std::string> argv;
  // The file to start when it is not argv[0] (found already), so that
  // argv[0] can stay as the user gave it; empty: argv[0].
  std::string program;
  std::string dir;     // working folder; empty: this process's own
  std::string input;   // standard input read from this file; empty: inherited
  std::string output;  // standard output to this file, created or emptied; empty: inherited
  // POSIX: the program runs as a foreground job of its own, as a shell
  // runs one: its own process group, given the terminal while it runs and
  // taken back after, with the mode and flags this process had. Without
  // it the program stays in this process's group.
  // Windows: without it the program is a helper asked a question, never
  // seen: it gets a console with no window (CREATE_NO_WINDOW), not this
  // process's, so that none opens even when this process has no console
  // of its own (velder-setup under the installer).
  bool foreground = true;
  std::vector<Env_Change> env;  // its environment: this process's, changed so
  // Its standard output and error through one pipe, handed over as they
  // arrive; empty: inherited (or output above).
  Output_Sink on_output;
  double cpu_limit = 0;         // seconds of CPU time, then it is ended; 0: none
  double wall_limit = 0;        // seconds from its start, then it is ended; 0: none
  long long output_limit = 0;   // bytes it may write to files, then it is ended; 0: none
};

struct Process_End {
  bool started = false;
  int error = 0;             // why it did not start (errno; GetLastError on Windows)
  bool signaled = false;     // POSIX: ended by the signal in code
  long long code = 0;        // the exit code, the signal number, or a Windows exception code
  bool timed_out = false;    // ended for passing wall_limit
  bool cpu_exceeded = false; // ended for passing cpu_limit
  bool output_exceeded = false;  // ended for passing output_limit
  double seconds = 0;        // wall time from start to end
  double cpu_seconds = 0;    // user plus system time
  long long peak_bytes = 0;  // peak resident memory; 0 when not known
};

// Runs s and waits for it to end.
Process_End Run_Process(Process_Spec s);

// Starts s to run on by itself (a terminal window) and returns at once,
// with started and error set. POSIX: in a process group of its own, so
// that keys typed here never reach it; collected by a later call once it
// has ended.
Process_End Start_Process(Process_Spec s);

// The status a caller reports for e, as a shell would: the exit code, or
// 128 + N for signal N; 127 when it did not start.
int Exit_Status(const Process_End& e);

}  // namespace platform
