#include <cerrno>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

long Read_Raw(char* buf, std::size_t n) {
  for (;;) {
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
    return static_cast<long>(got);
  }
}

bool Stdin_Is_Terminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace platform
