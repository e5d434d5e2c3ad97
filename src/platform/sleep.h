// Sleeping the one thread of the program.
#pragma once

#include <cstdint>

namespace platform {

// Sleeps at least the given time, as closely as the system's timer
// allows. Windows sleeps in whole milliseconds and would cut 0.9 ms down
// to nothing, so there the time is rounded up to the next millisecond.
void Sleep_For(std::int64_t seconds, std::int64_t nanoseconds);

}  // namespace platform
