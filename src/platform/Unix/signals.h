// Every signal disposition velder and the pauser set on POSIX is set in
// signals.cpp: what the shell left ignored at start, what the programs
// started inherit, and the key wait's guard.
#pragma once

#include <csignal>
#include <string>

namespace platform {

// Notes what was ignored at start (trap '' INT, nohup), which stays
// ignored everywhere, and ignores SIGPIPE for this process. Called once
// by Init_Console.
void Set_Up_Signals();

// Whether sig was ignored when the program started.
bool Ignored_At_Start(int sig);

// In a child between fork and exec (async-signal-safe only): a signal
// ignored at start stays ignored in the program, as a shell leaves it;
// one ignored only here gets its default back; none is blocked.
void Default_Signals_For_Program();

// While one stands, the key wait's signals find the terminal as they
// must: a signal that ends the program puts the found mode back first; a
// stop (Ctrl+Z) puts it back and stops; a continue in the foreground
// takes the key mode up again and shows prompt again after a stop.
// Signals that were ignored at start, or are ignored now, are left alone.
class Key_Wait_Signals {
 public:
  explicit Key_Wait_Signals(const std::string& prompt);
  ~Key_Wait_Signals();
  Key_Wait_Signals(const Key_Wait_Signals&) = delete;
  Key_Wait_Signals& operator=(const Key_Wait_Signals&) = delete;

  // Holds the guarded signals back while the mode is changed from
  // outside a handler, so that no handler sees it half done.
  class Held {
   public:
    Held();
    ~Held();

   private:
    sigset_t old_;
  };

 private:
  std::string prompt_;
};

}  // namespace platform
