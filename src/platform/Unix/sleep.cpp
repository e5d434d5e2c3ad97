#include <chrono>
#include <thread>

#include "platform/sleep.h"

namespace platform {

void Sleep_For(std::int64_t seconds, std::int64_t nanoseconds) {
  std::this_thread::sleep_for(std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds));
}

}  // namespace platform
