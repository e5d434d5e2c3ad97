// The two requests whose cost the user waits for: the compile (the
// options split, then g++) and the same-terminal launch, each against
// the same program started directly.
// The two ways take turns, and the order flips every pair, so that a
// change in the machine's load falls on both.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bench_util.h"
#include "build/exe_path.h"
#include "platform/requests.h"

namespace {

using bench::Clock;

const std::string GXX = "/usr/bin/g++";

double Time_Of_Request(const std::function<int()>& request, int& status) {
  Clock::time_point t0 = Clock::now();
  status = request();
  return bench::Seconds(Clock::now() - t0);
}

// Started as velder starts it: the same standard streams (output
// redirected to /dev/null around the loop) and working directory.
double Time_Of_Direct(const std::vector<std::string>& argv, int& status) {
  Clock::time_point t0 = Clock::now();
  status = bench::Wait_For(
      bench::Start(argv, bench::INHERIT, bench::INHERIT, std::string(), bench::INHERIT));
  return bench::Seconds(Clock::now() - t0);
}

void Alternate(benchmark::State& state, const std::function<int()>& request,
               const std::vector<std::string>& argv) {
  int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  int saved = bench::Redirect_Stdout(null);
  double velder = 0, direct = 0;
  long pairs = 0;
  std::vector<double> pair_ratios;
  bool ok = true;
  for (auto _ : state) {
    int a = 0, b = 0;
    double ta, tb;
    if (pairs % 2 == 0) {
      ta = Time_Of_Request(request, a);
      tb = Time_Of_Direct(argv, b);
    } else {
      tb = Time_Of_Direct(argv, b);
      ta = Time_Of_Request(request, a);
    }
    ok = ok && a == 0 && b == 0;
    velder += ta;
    direct += tb;
    pair_ratios.push_back(ta / tb);
    ++pairs;
    state.SetIterationTime(ta);
  }
  bench::Restore_Stdout(saved);
  close(null);
  if (!ok) return state.SkipWithError("a run did not end with status 0");
  state.counters["velder_ms"] = 1000 * velder / pairs;
  state.counters["direct_ms"] = 1000 * direct / pairs;
  // The median of the pairs is the ratio: one run that another process
  // on the machine slowed down moves a sum, not the median.
  std::sort(pair_ratios.begin(), pair_ratios.end());
  state.counters["ratio"] = pair_ratios[pair_ratios.size() / 2];
  state.counters["sum_ratio"] = velder / direct;
}

void BM_Compile_Path(benchmark::State& state) {
  std::string dir = bench::Make_Temp_Dir();
  std::string src = dir + "/hello.cpp", exe = Exe_Path(src);
  std::ofstream(src) << "#include <iostream>\n\nint main() {\n  std::cout << \"Hello, world!\\n\";\n}\n";
  // The request Run makes with no options set.
  platform::Compile_Request r;
  r.com_path = GXX;
  r.epath = exe;
  r.fpath = src;
  Alternate(state, [r] { return platform::Compile(r); }, {GXX, "-g", "-o", exe, src});
  bench::Remove_Dir(dir);
}
BENCHMARK(BM_Compile_Path)->Iterations(25)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Launch_Path(benchmark::State& state) {
  bench::Same_Terminal_Environment();
  std::string dir = bench::Make_Temp_Dir();
  platform::Launch_Request r{"", TINY_BIN, dir + "/tiny.cpp"};
  Alternate(state, [r] { return platform::Launch(r); }, {TINY_BIN});
  bench::Remove_Dir(dir);
}
BENCHMARK(BM_Launch_Path)->Iterations(400)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
