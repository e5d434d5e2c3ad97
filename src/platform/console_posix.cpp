#include <cstdlib>
#include <cstring>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform/console.h"

namespace platform {

namespace {
bool smart = false;
}

void Init_Console() {
#ifdef __linux__
  // Linux lets a sleep run up to 50 us late by default, so that wake-ups
  // can be grouped; the typing effect sleeps a thousand times a second
  // and wants its deadlines kept.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  // POSIX terminals take UTF-8 as they are; what is left to decide is
  // whether escape sequences may be written.
  const char* term = std::getenv("TERM");
  smart = isatty(STDOUT_FILENO) == 1 && term != nullptr && term[0] != '\0' &&
          std::strcmp(term, "dumb") != 0;
}

void End_Console() {}

bool Smart_Terminal() { return smart; }

}  // namespace platform
