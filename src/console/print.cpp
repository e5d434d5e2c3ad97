#include <chrono>
#include <cstdint>
#include <iostream>

#include "console/console.h"
#include "platform/requests.h"
#include "platform/sleep.h"

namespace {

using Clock = std::chrono::steady_clock;

// Standard output may be a buffered pipe; every byte is pushed out at
// once so that the typing effect is what the reader sees.
void Put(const std::string& s) {
  std::cout << s;
  std::cout.flush();
}

// Sleeps until t, or not at all if t has passed. The duration is rounded
// up to a whole microsecond, and the clock is read again afterwards: a
// system sleep that ends early must not let a byte out before its time.
void Wait_Until(Clock::time_point t) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(t - Clock::now()).count();
    if (left <= 0) return;
    std::int64_t us = (left + 999) / 1000;
    Wait((static_cast<double>(us) + 0.5) / 1e6);
  }
}

}  // namespace

int Wait_Microseconds(double a) {
  std::int32_t count = static_cast<std::int32_t>(a * 1000000);
  return count > 0 ? count : 0;
}

void Wait(double a) {
  std::int32_t count = Wait_Microseconds(a);
  if (count <= 0) return;
  platform::Sleep_For(count / 1000000, count % 1000000 * 1000LL);
}

void Print(std::string s, int nrow) {
  // Each pause runs to a deadline counted from the first byte, so sleep
  // overshoot does not add up: n bytes take n ms, never less.
  std::int32_t ls = static_cast<std::int32_t>(s.size());
  Clock::time_point start = Clock::now();
  for (std::int32_t i = 0; i < ls; ++i) {
    std::cout.put(s[i]);
    std::cout.flush();
    Wait_Until(start + std::chrono::milliseconds(i + 1));
  }
  if (nrow > 0) Put(std::string(static_cast<std::size_t>(nrow), '\n'));
}

void Print_Page(int indent, std::string title, std::vector<std::string> options) {
  Put(std::string(static_cast<std::size_t>(indent), ' ') + title + "\n" + std::string(100, '-') +
      "\n");
  for (std::size_t i = 0; i < options.size(); ++i) Print(options[i], i + 1 < options.size() ? 1 : 2);
}

void Cls() { platform::Clear_Screen(); }

void Pause() { platform::Pause_For_Key(); }
