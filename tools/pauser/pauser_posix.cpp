#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "judge.h"
#include "pauser.h"
#include "platform/input.h"
#include "platform/posix_commands.h"

namespace {

std::string Reason(int err) {
  if (err == ENOENT) return "找不到该程序。";
  if (err == EACCES) return "没有执行权限，或它不是文件。";
  if (err == ENOEXEC) return "它不是可执行的程序。";
  return std::string("系统错误：") + std::strerror(err) + "。";
}

std::string Signal_Name(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV，段错误";
    case SIGABRT: return "SIGABRT，程序中止";
    case SIGFPE: return "SIGFPE，算术错误";
    case SIGILL: return "SIGILL，非法指令";
    case SIGBUS: return "SIGBUS，总线错误";
    case SIGKILL: return "SIGKILL";
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT，中断";
    case SIGQUIT: return "SIGQUIT";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE，管道破裂";
    default: return std::string();
  }
}

// The likely cause of the crashes met most often. A stack overflow shows
// here as a segmentation fault too.
std::string Signal_Hint(int sig) {
  switch (sig) {
    case SIGSEGV: return "多半是数组越界、空指针、用了已释放的内存，或递归太深。";
    case SIGFPE: return "多半是整数除以零，或对零取余。";
    case SIGABRT: return "多半是 assert 不成立，或有异常没被捕获；原因可能就在上面的输出里。";
    case SIGKILL: return "可能是内存用尽，被系统终止了。";
    default: return std::string();
  }
}

void Default_Action(int sig) {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

// Started with fork and exec, not posix_spawn: a spawned child runs in the
// pauser's own memory until its exec, and the kernel would count that
// memory in the program's peak. A forked child brings along only the
// pauser's private pages, some 0.7 MiB. Returns 0, or the error that
// kept the program from starting.
int Start(const std::string& prog, std::vector<std::string> argv, pid_t& pid) {
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(&a[0]);
  args.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  pid = fork();
  if (pid == 0) {
    // The signal dispositions a shell would give the program.
    // Ctrl+C and Ctrl+\ stay ignored where they were when the pauser
    // started (nohup, trap '' INT), as a shell leaves them.
    for (int sig : {SIGINT, SIGQUIT, SIGPIPE})
      if (sig == SIGPIPE || !platform::Ignored_At_Start(sig)) Default_Action(sig);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(prog.c_str(), args.data());
    int err = errno;
    ssize_t ignored = write(report[1], &err, sizeof err);
    (void)ignored;
    _exit(127);
  }
  int err = pid < 0 ? errno : 0;
  close(report[1]);
  // The pipe closes at a successful exec; otherwise it carries the error.
  ssize_t got;
  while ((got = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got == sizeof err && pid > 0) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  return err;
}

}  // namespace

Ending Run_Program(int argc, char** argv) {
  Ending e;
  e.name = argv[1];
  // Found as velder's own command layer finds programs: a bare name in
  // the working directory first, then on PATH.
  std::string prog = platform::Find_On_Path(platform::Program_Word(e.name));
  if (prog.empty()) {
    e.why = Reason(ENOENT);
    return e;
  }
  // Ctrl+C and Ctrl+\ stop the program, not the pauser, which stays to
  // report how the program ended.
  platform::Ignore_Interrupts guard;
  pid_t pid = -1;
  int err = Start(prog, std::vector<std::string>(argv + 1, argv + argc), pid);
  if (err != 0) {
    e.why = Reason(err);
    return e;
  }
  e.started = true;
  int st = 0;
  struct rusage ru {};
  while (wait4(pid, &st, 0, &ru) < 0 && errno == EINTR) {
  }
  e.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                  static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  e.peak_bytes = static_cast<long long>(ru.ru_maxrss) * 1024;  // Linux counts in KiB
  if (WIFSIGNALED(st)) {
    e.signaled = true;
    e.code = WTERMSIG(st);
    e.why = Signal_Name(WTERMSIG(st));
    e.hint = Signal_Hint(WTERMSIG(st));
    e.status = 128 + WTERMSIG(st);
  } else {
    e.code = WEXITSTATUS(st);
    e.status = WEXITSTATUS(st);
  }
  return e;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string Find_Program(const std::string& name) {
  std::string prog = platform::Find_On_Path(platform::Program_Word(name));
  std::error_code ec;
  std::string full = prog.empty() ? prog : std::filesystem::absolute(prog, ec).string();
  return ec ? std::string() : full;
}

Ending Describe(const std::string& name, const platform::Process_End& end) {
  Ending e;
  e.name = name;
  if (!end.started) {
    e.why = Reason(end.error);
    return e;
  }
  e.started = true;
  e.seconds = end.seconds;
  e.cpu_seconds = end.cpu_seconds;
  e.peak_bytes = end.peak_bytes;
  e.code = end.code;
  e.status = platform::Exit_Status(end);
  if (end.signaled) {
    int sig = static_cast<int>(end.code);
    e.signaled = true;
    e.why = Signal_Name(sig);
    e.hint = Signal_Hint(sig);
  }
  return e;
}

platform::Process_End Run_Guarded(platform::Process_Spec s) {
  platform::Ignore_Interrupts guard;
  return platform::Run_Process(s);
}

// Line mode, echo and the signal keys off for the one key: Ctrl+C is a
// key like any other here, and no signal leaves the terminal raw.
bool Read_Enter_Key() {
  struct termios found;
  bool raw = isatty(STDIN_FILENO) && platform::In_Foreground() &&
             tcgetattr(STDIN_FILENO, &found) == 0;
  if (raw) {
    struct termios key = found;
    key.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    key.c_cc[VMIN] = 1;
    key.c_cc[VTIME] = 0;
    raw = platform::Set_Mode_Quietly(key);
  }
  char c = 0;
  long n = platform::Read_Raw(&c, 1);
  if (raw) platform::Set_Mode_Quietly(found);
  return n == 1 && (c == '\n' || c == '\r');
}

void Discard_Typed_Keys() {
  // Only in the foreground: a pauser in the background would be stopped
  // for touching the terminal.
  if (isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp()) tcflush(STDIN_FILENO, TCIFLUSH);
}
