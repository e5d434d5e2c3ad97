#include <windows.h>

#include "platform/sleep.h"

namespace platform {

void Sleep_For(std::int64_t seconds, std::int64_t nanoseconds) {
  std::int64_t ms = seconds * 1000 + (nanoseconds + 999999) / 1000000;
  while (ms > 0) {
    DWORD part = ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
    Sleep(part);
    ms -= part;
  }
}

}  // namespace platform
