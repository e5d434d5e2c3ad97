// A hangup of the terminal: SIGHUP, or the terminal on standard input
// found gone. The handler only notes it and wakes the read that waits
// for input (through a pipe, so that a hangup just before the read is not
// missed); the save runs later, in the program's own course, where the
// end of input leads.
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/Unix/commands.h"

namespace platform {

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
  if (saver != nullptr && terminal_at_start && tcgetattr(STDIN_FILENO, &mode) != 0 &&
      errno != EINTR)
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
