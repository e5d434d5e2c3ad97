#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include "pauser.h"
#include "platform/posix_commands.h"

extern char** environ;

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

// Ctrl+C and Ctrl+\ stop the program, not the pauser, which stays to
// report how the program ended.
struct Ignore_Interrupts {
  struct sigaction old_int, old_quit;
  Ignore_Interrupts() {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    sigaction(SIGINT, &ign, &old_int);
    sigaction(SIGQUIT, &ign, &old_quit);
  }
  ~Ignore_Interrupts() {
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
  }
};

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
  std::vector<char*> args(argv + 1, argv + argc);
  args.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  sigaddset(&defaults, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  Ignore_Interrupts guard;
  pid_t pid;
  int err = posix_spawn(&pid, prog.c_str(), nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    e.why = Reason(err);
    return e;
  }
  e.started = true;
  int st = 0;
  while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(st)) {
    e.signaled = true;
    e.code = WTERMSIG(st);
    e.why = Signal_Name(WTERMSIG(st));
    e.status = 128 + WTERMSIG(st);
  } else {
    e.code = WEXITSTATUS(st);
    e.status = WEXITSTATUS(st);
  }
  return e;
}
