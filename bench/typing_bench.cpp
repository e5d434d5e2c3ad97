// The typing effect as the user sees it: Print of n bytes on a terminal
// against n ms, and the main page against the nominal time of its bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include <unistd.h>

#include "app/velder.h"
#include "bench_util.h"
#include "console/console.h"
#include "platform/console.h"
#include "platform/input.h"

namespace {

using bench::Clock;

// Half ASCII, half Chinese: the cost per byte must not depend on which.
std::string Text_Of(long n) {
  std::string s;
  while (static_cast<long>(s.size()) < n) s += (s.size() / 3) % 2 ? "字" : "abc";
  s.resize(static_cast<std::size_t>(n));
  return s;
}

// One timed iteration: its time, and the running sum and extremes of
// its ratio to the nominal time.
void Record(benchmark::State& state, double t, double nominal, double& total, double& lowest,
            double& highest) {
  state.SetIterationTime(t);
  total += t;
  lowest = std::min(lowest, t / nominal);
  highest = std::max(highest, t / nominal);
}

void Report(benchmark::State& state, double total, double nominal, double lowest, double highest) {
  state.counters["ratio"] = total / (nominal * static_cast<double>(state.iterations()));
  state.counters["min_ratio"] = lowest;
  state.counters["max_ratio"] = highest;
}

void BM_Print(benchmark::State& state) {
  platform::Init_Console();  // as velder sets itself up before it prints
  long n = state.range(0);
  std::string s = Text_Of(n);
  double nominal = static_cast<double>(n) / 1000;
  double total = 0, lowest = 1e9, highest = 0;
  int slave = bench::Open_Draining_Pty();
  int saved = bench::Redirect_Stdout(slave);
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Print(s, 0);
    double t = bench::Seconds(Clock::now() - t0);
    Record(state, t, nominal, total, lowest, highest);
  }
  bench::Restore_Stdout(saved);
  close(slave);
  long got = bench::Close_Draining_Pty();
  if (got != n * static_cast<long>(state.iterations())) state.SkipWithError("bytes lost on the way");
  Report(state, total, nominal, lowest, highest);
}
BENCHMARK(BM_Print)->Arg(100)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Print)->Arg(1000)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Print)->Arg(10000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// Main_Page: the header at once, the 73 bytes of its four options at
// 1 ms each, then the choice read from standard input.
void BM_Main_Page(benchmark::State& state) {
  platform::Init_Console();
  const double nominal = 0.073;
  int in[2];
  if (pipe(in) != 0) return state.SkipWithError("pipe failed");
  int saved_in = dup(0);
  dup2(in[0], 0);
  platform::Reset_Input();
  int slave = bench::Open_Draining_Pty();
  int saved = bench::Redirect_Stdout(slave);
  double total = 0, lowest = 1e9, highest = 0;
  bool chose = true;
  for (auto _ : state) {
    if (write(in[1], "1\n", 2) != 2) chose = false;
    Clock::time_point t0 = Clock::now();
    int op = Main_Page();
    double t = bench::Seconds(Clock::now() - t0);
    chose = chose && op == 1;
    Record(state, t, nominal, total, lowest, highest);
  }
  bench::Restore_Stdout(saved);
  close(slave);
  bench::Close_Draining_Pty();
  dup2(saved_in, 0);
  close(saved_in);
  close(in[0]);
  close(in[1]);
  platform::Reset_Input();
  if (!chose) state.SkipWithError("the page did not read its choice");
  Report(state, total, nominal, lowest, highest);
}
BENCHMARK(BM_Main_Page)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
