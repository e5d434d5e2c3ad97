// How true velder-pauser.exe's figures are, run under Wine by bench/run.sh
// (Google Benchmark is not built for MinGW). Started with the pauser's
// path it measures, starting the pauser on itself as the program:
//   busy S     spins until it has used S seconds of CPU time, by its own
//              GetProcessTimes;
//   touch M S  touches every page of M MiB, then sleeps S seconds;
//   sleep S    sleeps S seconds.
// One line per figure goes to standard error:
//   Pauser/NAME ratio lowest highest reported yardstick
// (the means of the figure and of its yardstick, in ms or MiB).
// (means of the reported figure and of the yardstick).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pauser_figures.h"
#include "platform/Windows/utf16.h"

namespace {

using Clock = std::chrono::steady_clock;

double Own_Cpu_Seconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto s = [](FILETIME t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;
  };
  return s(kernel) + s(user);
}

int Work(int argc, char** argv) {
  std::string what = argv[1];
  double a = std::atof(argv[2]);
  if (what == "busy") {
    volatile unsigned long n = 0;
    while (Own_Cpu_Seconds() < a)
      for (int i = 0; i < 100000; ++i) n = n + 1;
  } else if (what == "touch") {
    std::vector<char> memory(static_cast<std::size_t>(a * 1024 * 1024), 1);
    Sleep(static_cast<DWORD>(1000 * (argc > 3 ? std::atof(argv[3]) : 0)));
    return memory.empty() ? 0 : memory.back() - 1;
  } else if (what == "sleep") {
    Sleep(static_cast<DWORD>(1000 * a));
  }
  return 0;
}

std::wstring Self() {
  std::wstring p(32768, L'\0');
  p.resize(GetModuleFileNameW(nullptr, &p[0], static_cast<DWORD>(p.size())));
  return p;
}

// Starts this program with the given work, through the pauser unless
// pauser is empty, with standard input from NUL (the pause then only
// shows its prompt) and standard output into a pipe; the report, and the
// time from just before the start to the end.
Figures Run(const std::wstring& pauser, const std::wstring& work, double& outside) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return Figures();
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = null;
  si.hStdOutput = write_end;
  si.hStdError = write_end;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + Self() + L"\" " + work;
  if (!pauser.empty()) line = L"\"" + pauser + L"\" " + line;
  Clock::time_point t0 = Clock::now();
  BOOL started =
      CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write_end);
  CloseHandle(null);
  std::string out;
  char buf[4096];
  DWORD got;
  while (started && ReadFile(read_end, buf, sizeof buf, &got, nullptr) && got > 0)
    out.append(buf, got);
  CloseHandle(read_end);
  if (!started) return Figures();
  WaitForSingleObject(pi.hProcess, INFINITE);
  outside = std::chrono::duration<double>(Clock::now() - t0).count();
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return Parse(out);
}

struct Ratios {
  double over = 0, under = 0, lowest = 1e9, highest = 0;
  int runs = 0;
  void Add(double a, double b) {
    over += a;
    under += b;
    lowest = std::min(lowest, a / b);
    highest = std::max(highest, a / b);
    ++runs;
  }
  // The means in the unit given by scale (1000: seconds as ms).
  void Put(const char* name, double scale = 1) const {
    std::fprintf(stderr, "Pauser/%s %.4f %.4f %.4f %.4f %.4f\n", name, over / under, lowest,
                 highest, scale * over / runs, scale * under / runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) return Work(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: velder_pauser_bench PAUSER\n");
    return 2;
  }
  std::wstring pauser;
  if (!platform::To_Wide(argv[1], pauser)) return 2;
  Ratios wall, cpu, memory, net;
  for (int i = 0; i < 5; ++i) {
    // Under Wine a process takes a tenth of a second to start, the
    // pauser's own included; the yardstick is therefore the same program
    // started directly and timed from outside, in turns with the pauser
    // (the order flipped every pair). The start of a program varies by
    // some 20 ms from run to run, hence a sleep of 2 s.
    double outside = 0, direct = 0;
    Figures f;
    if (i % 2 == 0) Run(L"", L"sleep 2", direct);
    f = Run(pauser, L"sleep 2", outside);
    if (i % 2 == 1) Run(L"", L"sleep 2", direct);
    if (f.seconds > 0) wall.Add(f.seconds, direct);
    f = Run(pauser, L"busy 0.5", outside);
    if (f.cpu > 0) cpu.Add(f.cpu, 0.5);
    // Wine forgets an ended process's memory counters; the pauser reads
    // the peak every 10 ms while the program runs, so it keeps it 0.1 s.
    f = Run(pauser, L"touch 128 0.1", outside);
    Figures b = Run(pauser, L"touch 0 0.1", outside);
    if (f.mib > 0 && b.mib > 0) {
      memory.Add(f.mib, 128);
      net.Add(f.mib - b.mib, 128);
    }
  }
  if (wall.runs == 0 || cpu.runs == 0 || memory.runs == 0) {
    std::fprintf(stderr, "no report from %s\n", argv[1]);
    return 1;
  }
  wall.Put("Wall_Time", 1000);
  cpu.Put("Cpu_Time");
  memory.Put("Peak_Memory");
  net.Put("Peak_Memory_Above_Own");
  return 0;
}
