#include <windows.h>
#include <timeapi.h>

#include <io.h>
#include <stdio.h>

#include "platform/console.h"
#include "platform/Windows/console_out.h"

namespace platform {

namespace {
bool smart = false;
}

void Init_Console() {
  SetConsoleOutputCP(65001);
  SetConsoleCP(65001);
  // A 1 ms sleep lasts 1 ms only with the finer timer.
  timeBeginPeriod(1);
  smart = _isatty(_fileno(stdout)) != 0;
  Attach_Console_Streams();
}

void End_Console() {
  Flush_Console_Streams();
  timeEndPeriod(1);
}

bool Smart_Terminal() { return smart; }

}  // namespace platform
