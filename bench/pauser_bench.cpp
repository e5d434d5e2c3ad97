// How true velder-pauser's figures are: its wall time against the same
// run timed from outside, its CPU time against a busy loop that
// knows its own, and its peak memory against 128 MiB touched. The
// program is the tests' greeter, told what to do by its environment.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bench_util.h"
#include "pauser_figures.h"

namespace {

using bench::Clock;

// Runs argv with the greeter's variable set, standard input at its end
// (the pause then only shows its prompt); what it wrote, and the time
// from just before its start to its end.
std::string Run(const std::vector<std::string>& argv, const char* variable, const char* value,
                const std::string& dir, double& seconds) {
  setenv(variable, value, 1);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return std::string();
  Clock::time_point t0 = Clock::now();
  pid_t pid = bench::Start(argv, bench::NULL_DEVICE, out[1], dir);
  close(out[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = bench::Wait_For(pid);
  seconds = bench::Seconds(Clock::now() - t0);
  unsetenv(variable);
  return status == 0 ? text : std::string();
}

Figures Through_Pauser(const char* variable, const char* value, const std::string& dir,
                       double& outside) {
  return Parse(Run({PAUSER_BIN, GREETER_BIN}, variable, value, dir, outside));
}

// A ratio per run, summed up as the ratio of the sums, with the lowest
// and the highest single one.
struct Ratios {
  double over = 0, under = 0, lowest = 1e9, highest = 0;
  void Add(double a, double b) {
    over += a;
    under += b;
    lowest = std::min(lowest, a / b);
    highest = std::max(highest, a / b);
  }
  void Put(benchmark::State& state) const {
    state.counters["ratio"] = over / under;
    state.counters["min_ratio"] = lowest;
    state.counters["max_ratio"] = highest;
  }
};

// A program that sleeps 0.5 s: the wall time reported against the same
// run timed from outside, from just before the pauser starts to its end.
// The difference is the pauser's own start, report and exit, so the
// ratio is a little below 1 and never above.
void BM_Pauser_Wall_Time(benchmark::State& state) {
  std::string dir = bench::Make_Temp_Dir();
  Ratios r;
  bool ok = true;
  for (auto _ : state) {
    double outside = 0;
    Figures f = Through_Pauser("GREETER_SLEEP", "0.5", dir, outside);
    ok = ok && f.seconds > 0;
    r.Add(f.seconds, outside);
    state.SetIterationTime(outside);
  }
  bench::Remove_Dir(dir);
  if (!ok) return state.SkipWithError("no report");
  r.Put(state);
  double n = static_cast<double>(state.iterations());
  state.counters["reported_ms"] = 1000 * r.over / n;
  state.counters["outside_ms"] = 1000 * r.under / n;
}
BENCHMARK(BM_Pauser_Wall_Time)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// A busy loop that spins until it has used 0.5 s of CPU time, by its own
// clock(): the CPU time reported against those 0.5 s.
void BM_Pauser_Cpu_Time(benchmark::State& state) {
  std::string dir = bench::Make_Temp_Dir();
  Ratios r;
  bool ok = true;
  for (auto _ : state) {
    double outside = 0;
    Figures f = Through_Pauser("GREETER_BUSY", "0.5", dir, outside);
    ok = ok && f.cpu > 0;
    r.Add(f.cpu, 0.5);
    state.SetIterationTime(outside);
  }
  bench::Remove_Dir(dir);
  if (!ok) return state.SkipWithError("no report");
  r.Put(state);
}
BENCHMARK(BM_Pauser_Cpu_Time)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// A program that touches every page of 128 MiB: the peak reported against
// 128 MiB, and the same program without them.
void BM_Pauser_Peak_Memory(benchmark::State& state) {
  std::string dir = bench::Make_Temp_Dir();
  Ratios r;
  double base = 0;
  bool ok = true;
  for (auto _ : state) {
    double outside = 0;
    Figures f = Through_Pauser("GREETER_MEMORY", "128", dir, outside);
    Figures b = Through_Pauser("GREETER_MEMORY", "0", dir, outside);
    ok = ok && f.mib > 0 && b.mib > 0;
    r.Add(f.mib, 128);
    base += b.mib;
    state.SetIterationTime(outside);
  }
  bench::Remove_Dir(dir);
  if (!ok) return state.SkipWithError("no report");
  r.Put(state);
  double n = static_cast<double>(state.iterations());
  state.counters["reported_MiB"] = r.over / n;
  state.counters["without_MiB"] = base / n;
}
BENCHMARK(BM_Pauser_Peak_Memory)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
