// The program that the tests build and start. Prints one line with its
// arguments, appends its working directory and arguments to greeter.log
// there, then, as the environment asks:
//   GREETER_BUSY=S    spins until it has used S seconds of CPU time (on
//                     Windows the C runtime's clock() counts wall time,
//                     so there it spins for S seconds);
//   GREETER_MEMORY=M  touches every page of M MiB and keeps them through
//                     the sleep that follows;
//   GREETER_SLEEP=S   sleeps S seconds;
//   GREETER_CRASH=segv|divide  writes through a null pointer, or divides
//                     an integer by zero;
//   GREETER_ABORT     aborts;
//   GREETER_FREOPEN=X reads X.in and writes X.out in place of standard
//                     input and output, as contest programs do;
//   GREETER_ECHO      copies its input to its output in place of the
//                     greeting;
//   GREETER_FLOOD=M   writes M MiB of lines;
// otherwise it exits with GREETER_STATUS (default 0).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

double Number(const char* name) {
  const char* s = std::getenv(name);
  return s ? std::atof(s) : 0;
}

void Spin(double cpu_seconds) {
  volatile unsigned long n = 0;
  while (static_cast<double>(std::clock()) / CLOCKS_PER_SEC < cpu_seconds)
    for (int i = 0; i < 100000; ++i) n = n + 1;
}

// The pointer and the divisor come through volatile variables, so that
// the compiler cannot see the fault coming and replace it with a trap of
// its own. In a sanitizer build the faults stay the system's: no checks
// here, and the default actions for the signals, not the sanitizer's
// handlers.
__attribute__((no_sanitize("address", "undefined"))) int Crash(const std::string& how) {
  std::signal(SIGSEGV, SIG_DFL);
  std::signal(SIGFPE, SIG_DFL);
  volatile int* volatile null = nullptr;
  volatile int zero = 0, one = 1;
  if (how == "segv") *null = 1;
  if (how == "divide") return one / zero;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* x = std::getenv("GREETER_FREOPEN")) {
    // Unchecked, as contest programs leave them: a wrong name reads nothing.
    if (!std::freopen((std::string(x) + ".in").c_str(), "r", stdin)) {
    }
    if (!std::freopen((std::string(x) + ".out").c_str(), "w", stdout)) {
    }
  }
  std::string line = "你好，来自 greeter";
  for (int i = 1; i < argc; ++i) line += " [" + std::string(argv[i]) + "]";
  if (std::getenv("GREETER_ECHO")) {
    for (int c; (c = std::getchar()) != EOF;) std::putchar(c);
  } else {
    std::cout << line << std::endl;
  }
  for (double left = Number("GREETER_FLOOD") * 1024 * 1024; left > 0; left -= 64)
    std::fputs("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n", stdout);
  std::fflush(stdout);
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  std::ofstream log("greeter.log", std::ios::app);
  log << "cwd=" << cwd << '\n';
  for (int i = 0; i < argc; ++i) log << "[" << argv[i] << "]";
  log << std::endl;
  Spin(Number("GREETER_BUSY"));
  std::vector<char> memory(static_cast<std::size_t>(Number("GREETER_MEMORY") * 1024 * 1024), 1);
  std::this_thread::sleep_for(std::chrono::duration<double>(Number("GREETER_SLEEP")));
  const char* st = std::getenv("GREETER_STATUS");
  int status = (st ? std::atoi(st) : 0) + (memory.empty() ? 0 : memory.back() - 1);
  if (const char* how = std::getenv("GREETER_CRASH")) status += Crash(how);
  if (std::getenv("GREETER_ABORT")) std::abort();
  return status;
}
