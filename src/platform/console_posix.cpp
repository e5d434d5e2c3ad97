#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/console.h"

namespace platform {

namespace {
bool smart = false;
}

void Init_Console() {
  // POSIX terminals take UTF-8 as they are; what is left to decide is
  // whether escape sequences may be written.
  const char* term = std::getenv("TERM");
  smart = isatty(STDOUT_FILENO) == 1 && term != nullptr && term[0] != '\0' &&
          std::strcmp(term, "dumb") != 0;
}

void End_Console() {}

bool Smart_Terminal() { return smart; }

}  // namespace platform
