#include <cerrno>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/input.h"
#include "platform/Unix/commands.h"
#include "platform/Unix/tty.h"

namespace platform {

namespace {

// A read of nothing from a terminal in line mode is Ctrl+D, not the end
// of the input: the terminal is still there (a terminal that has gone
// fails tcgetattr, or its read fails with EIO) and the next read asks it
// again. It stands for the end of a line. Where the terminal echoes, the
// line break that Enter would have shown is shown too.
bool Ctrl_D(char* buf) {
  struct termios mode;
  if (isatty(STDIN_FILENO) != 1 || !Get_Mode(mode) || !(mode.c_lflag & ICANON))
    return false;
  if ((mode.c_lflag & ECHO) && isatty(STDOUT_FILENO) == 1) Write_Out(STDOUT_FILENO, "\n", 1);
  buf[0] = '\n';
  return true;
}

}  // namespace

// Waits until standard input has something or the terminal has hung
// up; false for the hangup.
bool Wait_For_Input() {
  int wake = Hangup_Wake_Fd();
  if (wake < 0) return true;
  pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
  while (poll(p, 2, -1) < 0 && errno == EINTR) {
  }
  return !(p[1].revents & POLLIN);
}

long Read_Raw(char* buf, std::size_t n) {
  for (;;) {
    // After a hangup the input has ended for good.
    if (Hung_Up() || !Wait_For_Input()) return 0;
    ssize_t got = read(STDIN_FILENO, buf, n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Left non-blocking by another program on this terminal: nothing
      // typed yet is not the end of the input.
      pollfd p = {STDIN_FILENO, POLLIN, 0};
      if (poll(&p, 1, -1) < 0 && errno != EINTR) return -1;
      continue;
    }
    if (got == 0 && n > 0 && Ctrl_D(buf)) return 1;
    if (got <= 0) Note_Terminal_Gone();
    return static_cast<long>(got);
  }
}

bool Stdin_Is_Terminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace platform
