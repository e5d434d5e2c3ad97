// What the benchmarks share: starting programs with chosen standard
// streams, timing them, their peak memory, and moving standard output out
// of the report's way while something is measured.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);

// Descriptor arguments of Start: the stream is /dev/null, or the one the
// benchmark itself has.
const int NULL_DEVICE = -1;
const int INHERIT = -2;

// Starts argv[0] (a full path) with the given descriptors as its standard
// input and output; standard error goes to /dev/null unless err_too is
// INHERIT. An empty dir keeps the working directory.
pid_t Start(const std::vector<std::string>& argv, int in, int out, const std::string& dir,
            int err_too = NULL_DEVICE);

// Waits for pid; its exit status, 128 + N for signal N.
int Wait_For(pid_t pid);

// Runs argv to its end with input on its standard input and its output
// thrown away, and returns the peak resident memory of the program it
// executed, in KiB (VmHWM read just before it exits). Negative on failure.
long Peak_Rss_Kib(const std::vector<std::string>& argv, const std::string& input,
                  const std::string& dir);

// A fresh empty directory; Remove_Dir deletes it with its contents.
std::string Make_Temp_Dir();
void Remove_Dir(const std::string& dir);

// Points file descriptor 1 at fd (flushing first); returns the saved
// descriptor for Restore_Stdout.
int Redirect_Stdout(int fd);
void Restore_Stdout(int saved);

// A pseudo-terminal whose output is read and counted by a thread, so that
// writes behave as they do for a terminal. Returns the slave descriptor.
int Open_Draining_Pty();
// Stops the drain; the number of bytes it has read.
long Close_Draining_Pty();

// Sets the environment so that velder's "start" stays in this terminal:
// no tmux, no graphical session.
void Same_Terminal_Environment();

}  // namespace bench
