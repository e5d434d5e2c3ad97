#include "platform/Unix/tty.h"

#include "platform/Unix/signals.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// A process outside the terminal's foreground group is stopped by
// SIGTTOU when it sets the mode or hands the terminal on, unless the
// signal is blocked.
struct Ttou_Blocked {
  sigset_t old;
  Ttou_Blocked() {
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
  }
  ~Ttou_Blocked() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

// The key wait's modes. Read by its signal handlers, so both are set
// before the handlers can run and not changed while they may.
struct termios found_mode;  // as the key wait found it
struct termios key_mode;    // no echo, one key at a time

}  // namespace

bool Get_Mode(struct termios& mode) { return tcgetattr(STDIN_FILENO, &mode) == 0; }

Key_Mode_Guard::Key_Mode_Guard(const std::string& prompt) {
  {
    Key_Wait_Signals::Held held;
    noted_ = Get_Mode(found_mode);
    if (!noted_) return;
    key_mode = found_mode;
    key_mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    key_mode.c_cc[VMIN] = 1;
    key_mode.c_cc[VTIME] = 0;
  }
  signals_.reset(new Key_Wait_Signals(prompt));
  raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &key_mode) == 0;
}

Key_Mode_Guard::~Key_Mode_Guard() {
  Key_Wait_Signals::Held held;
  if (raw_) Set_Mode_Quietly(found_mode);
  signals_.reset();
}

void Put_Found_Mode() { Set_Mode_Quietly(found_mode); }
void Put_Key_Mode() { Set_Mode_Quietly(key_mode); }

bool In_Foreground() {
  pid_t fg = tcgetpgrp(STDIN_FILENO);
  if (fg >= 0) return fg == getpgrp();
  return errno == ENOTTY && isatty(STDIN_FILENO) == 1;
}

bool Can_Give_Terminal() {
  return isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

bool Set_Mode_Quietly(const struct termios& mode) {
  Ttou_Blocked quiet;
  int r;
  do r = tcsetattr(STDIN_FILENO, TCSANOW, &mode);
  while (r != 0 && errno == EINTR);
  return r == 0;
}

Terminal_State Note_Terminal() {
  Terminal_State s;
  s.have_mode = isatty(STDIN_FILENO) == 1 && In_Foreground() && tcgetattr(STDIN_FILENO, &s.mode) == 0;
  // Shared with the program: one that leaves it non-blocking would leave
  // every later read here failing.
  s.in_flags = fcntl(STDIN_FILENO, F_GETFL);
  return s;
}

void Give_Terminal(pid_t group) {
  Ttou_Blocked quiet;
  tcsetpgrp(STDIN_FILENO, group);
}

void Take_Terminal(const Terminal_State& s) {
  if (s.have_mode) {
    Ttou_Blocked quiet;
    // Taken from a program's group (or a group one of its programs made),
    // never from the session leader's: that is the shell, which has it
    // while this process is stopped or in the background.
    pid_t fg = tcgetpgrp(STDIN_FILENO);
    bool ours = fg == getpgrp();
    if (!ours && fg > 0 && fg != getsid(0)) ours = tcsetpgrp(STDIN_FILENO, getpgrp()) == 0;
    if (!ours && fg < 0) ours = In_Foreground();
    if (ours) Set_Mode_Quietly(s.mode);
  }
  if (s.in_flags >= 0) fcntl(STDIN_FILENO, F_SETFL, s.in_flags);
}

}  // namespace platform
