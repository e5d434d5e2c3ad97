#include <cerrno>

#include <unistd.h>

#include "platform/input.h"

namespace platform {

long Read_Raw(char* buf, std::size_t n) {
  for (;;) {
    ssize_t got = read(STDIN_FILENO, buf, n);
    if (got < 0 && errno == EINTR) continue;
    return static_cast<long>(got);
  }
}

bool Stdin_Is_Terminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace platform
