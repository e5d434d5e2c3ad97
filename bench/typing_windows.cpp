// The typing effect of the Windows build, run under Wine by bench/run.sh
// (Google Benchmark is not built for MinGW). Print writes to standard
// output, which the caller throws away; the ratios go to standard error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "console/console.h"
#include "platform/console.h"

namespace {

using Clock = std::chrono::steady_clock;

void Measure(long n, int runs) {
  std::string s(static_cast<std::size_t>(n), 'a');
  double nominal = static_cast<double>(n) / 1000, total = 0, lowest = 1e9, highest = 0;
  for (int i = 0; i < runs; ++i) {
    Clock::time_point t0 = Clock::now();
    Print(s, 0);
    double t = std::chrono::duration<double>(Clock::now() - t0).count();
    total += t;
    lowest = std::min(lowest, t / nominal);
    highest = std::max(highest, t / nominal);
  }
  // One line per size: Print/N ratio lowest highest (runs).
  std::fprintf(stderr, "Print/%ld %.4f %.4f %.4f %d\n", n, total / (nominal * runs), lowest,
               highest, runs);
}

}  // namespace

int main() {
  platform::Init_Console();
  Measure(100, 50);
  Measure(1000, 10);
  Measure(10000, 2);
  platform::End_Console();
  return 0;
}
