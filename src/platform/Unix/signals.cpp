#include "platform/Unix/signals.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/Unix/commands.h"
#include "platform/Unix/tty.h"

namespace platform {

namespace {

bool ignored_at_start[NSIG];

// The key wait changes the terminal's mode, and gives it back on every
// way out: the key, a signal that ends the program, and a stop (Ctrl+Z),
// after which the shell must find the terminal as it was. On SIGCONT the
// key wait takes the terminal up again, if it is ours. The modes are
// tty_posix.cpp's; the handlers ask it to put one or the other.
volatile sig_atomic_t stopped = 0;
const char* prompt = "";  // shown again after a stop
std::size_t prompt_size = 0;

const int GUARDED[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};
const int GUARDED_COUNT = sizeof GUARDED / sizeof GUARDED[0];
struct sigaction saved_actions[GUARDED_COUNT];
bool installed[GUARDED_COUNT];

extern "C" void Restore_And_Reraise(int sig) {
  // Stopped or put in the background, velder gave the mode back already,
  // and the terminal now holds the shell's own (line editing): not ours
  // to set.
  if (In_Foreground()) Put_Found_Mode();
  signal(sig, SIG_DFL);
  raise(sig);  // delivered, and fatal, once the handler returns
}

extern "C" void On_Continue(int) {
  int e = errno;
  // Continued in the background (bg), the terminal is the shell's; the
  // key read then stops on SIGTTIN, and the next fg comes back here.
  if (In_Foreground()) {
    Put_Key_Mode();
    if (stopped) Write_Out(STDOUT_FILENO, prompt, prompt_size);
    stopped = 0;
  }
  errno = e;
}

extern "C" void On_Stop(int sig) {
  int e = errno;
  Put_Found_Mode();
  stopped = 1;
  // Stop for real: the default action, let through once SIGTSTP is
  // unblocked. Execution goes on here after SIGCONT (handled first).
  struct sigaction dfl {}, mine;
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, &mine);
  raise(sig);
  sigset_t s;
  sigemptyset(&s);
  sigaddset(&s, sig);
  sigprocmask(SIG_UNBLOCK, &s, nullptr);
  sigaction(sig, &mine, nullptr);
  // In a process group with no shell to continue it (velder as a window's
  // own program) the kernel discards the stop: no SIGCONT is on its way,
  // and the key wait goes on as it was.
  sigset_t pending;
  if (sigpending(&pending) == 0 && !sigismember(&pending, SIGCONT)) {
    Put_Key_Mode();
    stopped = 0;
  }
  errno = e;
}

sigset_t Guarded_Set() {
  sigset_t s;
  sigemptyset(&s);
  for (int sig : GUARDED) sigaddset(&s, sig);
  return s;
}

// Signals that were ignored when the program started, or are ignored
// now, are left alone.
void Guard_Signals() {
  for (int i = 0; i < GUARDED_COUNT; ++i) {
    int sig = GUARDED[i];
    struct sigaction now;
    installed[i] = false;
    if (Ignored_At_Start(sig) || sigaction(sig, nullptr, &now) != 0 || now.sa_handler == SIG_IGN)
      continue;
    // A hangup velder saves for ends the key wait like the end of input,
    // which gives the mode back on its way.
    if (sig == SIGHUP && Hangup_Handled()) continue;
    struct sigaction sa {};
    sa.sa_handler = sig == SIGTSTP ? On_Stop : sig == SIGCONT ? On_Continue : Restore_And_Reraise;
    // No handler runs inside another, and none is stopped by SIGTTOU.
    sa.sa_mask = Guarded_Set();
    sigaddset(&sa.sa_mask, SIGTTOU);
    installed[i] = sigaction(sig, &sa, &saved_actions[i]) == 0;
  }
}

void Unguard_Signals() {
  for (int i = 0; i < GUARDED_COUNT; ++i)
    if (installed[i]) sigaction(GUARDED[i], &saved_actions[i], nullptr);
}

}  // namespace

void Set_Up_Signals() {
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction sa;
    ignored_at_start[sig] = sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler == SIG_IGN;
  }
  // velder waits for the programs it starts; they still inherit SIGCHLD
  // as it was.
  if (ignored_at_start[SIGCHLD]) signal(SIGCHLD, SIG_DFL);
  // A reader that goes away (velder | head) must not cost the settings:
  // writes then fail quietly and the run goes on to its orderly end. The
  // programs started get SIGPIPE as it was at start.
  signal(SIGPIPE, SIG_IGN);
}

bool Ignored_At_Start(int sig) { return sig > 0 && sig < NSIG && ignored_at_start[sig]; }

void Default_Signals_For_Program() {
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction sa;
    if (sigaction(sig, nullptr, &sa) != 0 || sa.sa_handler != SIG_IGN || Ignored_At_Start(sig))
      continue;
    sa.sa_handler = SIG_DFL;
    sigaction(sig, &sa, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

Key_Wait_Signals::Key_Wait_Signals(const std::string& text) : prompt_(text) {
  // Nothing is handled until the handlers, the mode and the text agree.
  Held held;
  stopped = 0;
  prompt = prompt_.c_str();
  prompt_size = prompt_.size();
  Guard_Signals();
}

Key_Wait_Signals::~Key_Wait_Signals() {
  Held held;
  Unguard_Signals();
  prompt = "";
  prompt_size = 0;
}

Key_Wait_Signals::Held::Held() {
  sigset_t guarded = Guarded_Set();
  sigprocmask(SIG_BLOCK, &guarded, &old_);
}

Key_Wait_Signals::Held::~Held() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

// A hangup of the terminal: SIGHUP, or the terminal on standard input
// found gone. The handler only notes it and wakes the read that waits
// for input (through a pipe, so that a hangup just before the read is not
// missed); the save runs later, in the program's own course, where the
// end of input leads.
namespace {

volatile sig_atomic_t hung_up = 0;
int wake[2] = {-1, -1};
void (*saver)() = nullptr;
bool terminal_at_start = false;

extern "C" void On_Sighup(int) {
  int e = errno;
  hung_up = 1;
  ssize_t ignored = write(wake[1], "h", 1);
  (void)ignored;
  errno = e;
}

}  // namespace

void On_Hangup(void (*save)()) {
  saver = save;
  terminal_at_start = isatty(STDIN_FILENO) == 1;
  // nohup asked for hangups to be ignored: SIGHUP stays so. The terminal
  // going away still ends the input, and is still a hangup.
  if (Ignored_At_Start(SIGHUP) || pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = On_Sighup;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  if (sigaction(SIGHUP, &sa, nullptr) != 0) {
    close(wake[0]);
    close(wake[1]);
    wake[0] = wake[1] = -1;
  }
}

bool Hung_Up() { return hung_up != 0; }

int Hangup_Wake_Fd() { return wake[0]; }

bool Hangup_Handled() { return wake[0] >= 0; }

void Note_Terminal_Gone() {
  struct termios mode;
  if (saver != nullptr && terminal_at_start && !Get_Mode(mode) && errno != EINTR)
    hung_up = 1;
}

[[noreturn]] void End_For_Hangup() {
  static bool saving = false;
  if (saver != nullptr && !saving) {
    saving = true;
    saver();
  }
  End_Console();
  // Ended as the hangup ends a program, unless hangups were to be
  // ignored (nohup): then as the end of input ends it.
  if (!Ignored_At_Start(SIGHUP)) {
    signal(SIGHUP, SIG_DFL);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGHUP);
    sigprocmask(SIG_UNBLOCK, &s, nullptr);
    raise(SIGHUP);
  }
  std::_Exit(1);
}

}  // namespace platform
