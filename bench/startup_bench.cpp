// Start-up and memory of a whole velder process against the smallest
// program that does comparable console work: read one line and write it
// back with iostreams; and its memory with a huge settings file against
// an ordinary one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "bench_util.h"

namespace {

using bench::Clock;

// Time from just before the program is started to the moment the first
// byte of interest arrives on the pipe that is its standard output.
// velder's output starts with the screen clear (a form feed on a pipe);
// the byte after it is the first of the page header.
double Time_To_First_Byte(const std::vector<std::string>& argv, const std::string& input,
                          bool skip_form_feed, const std::string& dir) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return -1;
  Clock::time_point t0 = Clock::now();
  pid_t pid = bench::Start(argv, in[0], out[1], dir);
  close(in[0]);
  close(out[1]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) return -1;
  double t = -1;
  char buf[512];
  bool after_ff = !skip_form_feed;
  for (;;) {
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n && t < 0; ++i) {
      if (after_ff) t = bench::Seconds(Clock::now() - t0);
      else if (buf[i] == '\f') after_ff = true;
    }
    if (t >= 0) break;
  }
  // velder now finds its input at an end and leaves; drain what is left.
  close(in[1]);
  while (read(out[0], buf, sizeof buf) > 0) {
  }
  close(out[0]);
  bench::Wait_For(pid);
  return t;
}

void BM_Startup(benchmark::State& state) {
  std::string dir = bench::Make_Temp_Dir();
  double velder = 0, minimal = 0;
  bool ok = true;
  long pairs = 0;
  for (auto _ : state) {
    // Alternate which goes first so that drift of the machine is shared.
    double a = 0, b = 0;
    if (pairs % 2 == 0) {
      a = Time_To_First_Byte({VELDER_BIN}, "", true, dir);
      b = Time_To_First_Byte({ECHO_LINE_BIN}, "x\n", false, dir);
    } else {
      b = Time_To_First_Byte({ECHO_LINE_BIN}, "x\n", false, dir);
      a = Time_To_First_Byte({VELDER_BIN}, "", true, dir);
    }
    ok = ok && a > 0 && b > 0;
    velder += a;
    minimal += b;
    ++pairs;
    state.SetIterationTime(a);
  }
  bench::Remove_Dir(dir);
  if (!ok) return state.SkipWithError("a program gave no output");
  state.counters["velder_ms"] = 1000 * velder / pairs;
  state.counters["minimal_ms"] = 1000 * minimal / pairs;
  state.counters["ratio"] = velder / minimal;
}
BENCHMARK(BM_Startup)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// A whole session: a fresh start, choice 4, the save and the exit.
void BM_Peak_Memory(benchmark::State& state) {
  long velder = 0, minimal = 0;
  for (auto _ : state) {
    std::string dir = bench::Make_Temp_Dir();
    Clock::time_point t0 = Clock::now();
    velder = std::max(velder, bench::Peak_Rss_Kib({VELDER_BIN}, "4\n", dir));
    state.SetIterationTime(bench::Seconds(Clock::now() - t0));
    minimal = std::max(minimal, bench::Peak_Rss_Kib({ECHO_LINE_BIN}, "x\n", dir));
    bench::Remove_Dir(dir);
  }
  if (velder <= 0 || minimal <= 0) return state.SkipWithError("peak memory not measured");
  state.counters["velder_KiB"] = static_cast<double>(velder);
  state.counters["minimal_KiB"] = static_cast<double>(minimal);
  state.counters["ratio"] = static_cast<double>(velder) / static_cast<double>(minimal);
}
BENCHMARK(BM_Peak_Memory)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// A settings file of 400 MB of zeros and no line feed (a sparse file, so
// no disk is used): the start reads past the whole line without keeping
// it. Its peak against a start with an ordinary three-line file, each
// session a start, choice 4 and the save.
void BM_Peak_Memory_Huge_Settings(benchmark::State& state) {
  const off_t HUGE_FILE = off_t(400) * 1000 * 1000;
  long huge = 0, normal = 0;
  for (auto _ : state) {
    std::string a = bench::Make_Temp_Dir(), b = bench::Make_Temp_Dir();
    int fd = open((a + "/velder_data.sg").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool made = fd >= 0 && ftruncate(fd, HUGE_FILE) == 0;
    if (fd >= 0) close(fd);
    std::string three = "/usr/bin/g++\r\n/usr/bin/velder-pauser\r\n-O2 -Wall";
    fd = open((b + "/velder_data.sg").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    made = made && fd >= 0 && write(fd, three.data(), three.size()) == ssize_t(three.size());
    if (fd >= 0) close(fd);
    if (!made) return state.SkipWithError("settings files not made");
    Clock::time_point t0 = Clock::now();
    huge = std::max(huge, bench::Peak_Rss_Kib({VELDER_BIN}, "4\n", a));
    state.SetIterationTime(bench::Seconds(Clock::now() - t0));
    normal = std::max(normal, bench::Peak_Rss_Kib({VELDER_BIN}, "4\n", b));
    bench::Remove_Dir(a);
    bench::Remove_Dir(b);
  }
  if (huge <= 0 || normal <= 0) return state.SkipWithError("peak memory not measured");
  state.counters["huge_KiB"] = static_cast<double>(huge);
  state.counters["normal_KiB"] = static_cast<double>(normal);
  state.counters["ratio"] = static_cast<double>(huge) / static_cast<double>(normal);
}
BENCHMARK(BM_Peak_Memory_Huge_Settings)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
