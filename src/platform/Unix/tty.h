// Who holds the terminal on standard input, and in which mode. velder,
// its pause and the pauser all go through here: a program run in the
// foreground gets the terminal for a process group of its own, and when
// it ends or stops the terminal comes back with the mode and the file
// flags this process had, as a shell does for its jobs.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <memory>
#include <string>

namespace platform {

// Whether the terminal's mode is this process's to set: its process
// group holds the terminal, or the terminal is not its controlling one
// (started through setsid), where it takes no other group's turn.
bool In_Foreground();

// Whether a program started now can be run as a job: standard input is
// this process's controlling terminal and its process group holds it.
bool Can_Give_Terminal();

// Sets the terminal's mode without ever being stopped for it: SIGTTOU is
// blocked meanwhile, so that a process in the background (or a signal
// handler run there) changes it instead of stopping. False on failure.
bool Set_Mode_Quietly(const struct termios& mode);

// The mode of the terminal on standard input; false when there is none.
bool Get_Mode(struct termios& mode);

class Key_Wait_Signals;

// The key wait's mode, while one stands: echo and line mode off, one key
// at a time. It notes the mode it finds, guards the key wait's signals
// (Key_Wait_Signals, with the prompt to show again after a stop) and then
// sets the key mode; on its end it puts the found mode back before the
// guard goes. Started in the background, setting the mode stops on
// SIGTTOU until fg, as any program that sets the terminal's mode does.
class Key_Mode_Guard {
 public:
  explicit Key_Mode_Guard(const std::string& prompt);
  ~Key_Mode_Guard();
  Key_Mode_Guard(const Key_Mode_Guard&) = delete;
  Key_Mode_Guard& operator=(const Key_Mode_Guard&) = delete;
  bool noted() const { return noted_; }  // there was a terminal mode to note
  bool raw() const { return raw_; }      // the key mode is set

 private:
  bool noted_ = false, raw_ = false;
  std::unique_ptr<Key_Wait_Signals> signals_;
};

// For the key wait's signal handlers (async-signal-safe): the mode the
// guard found, or its key mode, put back without being stopped.
void Put_Found_Mode();
void Put_Key_Mode();

// The terminal as this process has it before a program runs.
struct Terminal_State {
  bool have_mode = false;  // the mode was ours, and noted
  struct termios mode {};
  int in_flags = -1;  // standard input's file status flags (O_NONBLOCK)
};

Terminal_State Note_Terminal();

// Hands the terminal to a process group, from either side of a fork:
// only async-signal-safe calls.
void Give_Terminal(pid_t group);

// Takes the terminal back for this process's group, unless the shell
// holds it (this process was stopped and put in the background
// meanwhile), then puts back the mode, where it is ours, and the flags.
void Take_Terminal(const Terminal_State& s);

}  // namespace platform
