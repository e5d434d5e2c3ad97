#include "bench_util.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace {

std::vector<char*> Arg_Pointers(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

int Status_Of(int st) {
  if (WIFEXITED(st)) return WEXITSTATUS(st);
  if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
  return -1;
}

long Vm_Hwm_Kib(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (f >> key) {
    if (key == "VmHWM:") {
      long kib = -1;
      f >> kib;
      return kib;
    }
    f.ignore(1 << 16, '\n');
  }
  return -1;
}

void Set_Stream(posix_spawn_file_actions_t& fa, int target, int fd, int mode) {
  if (fd >= 0)
    posix_spawn_file_actions_adddup2(&fa, fd, target);
  else if (fd == NULL_DEVICE)
    posix_spawn_file_actions_addopen(&fa, target, "/dev/null", mode, 0);
}

int pty_master = -1;
std::thread drain;
std::atomic<long> drained{0};

}  // namespace

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

pid_t Start(const std::vector<std::string>& argv, int in, int out, const std::string& dir,
            int err_too) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  Set_Stream(fa, 0, in, O_RDONLY);
  Set_Stream(fa, 1, out, O_WRONLY);
  // The programs' complaints (velder's at the end of its input) are not
  // part of the report; every caller checks the status instead.
  Set_Stream(fa, 2, err_too, O_WRONLY);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
  std::vector<char*> args = Arg_Pointers(argv);
  pid_t pid = -1;
  int err = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (err != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

int Wait_For(pid_t pid) {
  int st = 0;
  while (waitpid(pid, &st, 0) < 0)
    if (errno != EINTR) return -1;
  return Status_Of(st);
}

// The kernel's own peak figure for a child (ru_maxrss) also counts the
// memory of the process it was forked from until the exec, which here is
// the benchmark itself. The program is therefore traced and its VmHWM,
// which belongs to the executed image alone, read at its exit event.
long Peak_Rss_Kib(const std::vector<std::string>& argv, const std::string& input,
                  const std::string& dir) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return -1;
  std::vector<char*> args = Arg_Pointers(argv);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(p[0], 0);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(p[0]);
    close(p[1]);
    if (chdir(dir.c_str()) != 0) _exit(126);
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(p[0]);
  bool fed = write(p[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(p[1]);
  long peak = -1;
  for (;;) {
    int st = 0;
    if (waitpid(pid, &st, 0) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (WIFEXITED(st) || WIFSIGNALED(st)) return fed && Status_Of(st) == 0 ? peak : -1;
    int sig = WSTOPSIG(st);
    long pass = 0;
    if (sig == SIGTRAP && (st >> 16) == PTRACE_EVENT_EXIT) {
      peak = Vm_Hwm_Kib(pid);
    } else if (sig == SIGTRAP) {
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT));
    } else {
      pass = sig;
    }
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(pass));
  }
}

std::string Make_Temp_Dir() {
  std::string t = (std::filesystem::temp_directory_path() / "velder-bench-XXXXXX").string();
  if (!mkdtemp(&t[0])) throw std::runtime_error("mkdtemp failed");
  return t;
}

void Remove_Dir(const std::string& dir) {
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

int Redirect_Stdout(int fd) {
  std::fflush(stdout);
  int saved = dup(1);
  dup2(fd, 1);
  return saved;
}

void Restore_Stdout(int saved) {
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
}

int Open_Draining_Pty() {
  int slave = -1;
  if (openpty(&pty_master, &slave, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  struct termios t;
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  drained = 0;
  drain = std::thread([] {
    char buf[4096];
    for (;;) {
      ssize_t n = read(pty_master, buf, sizeof buf);
      if (n > 0) drained += n;
      else if (n < 0 && errno == EINTR) continue;
      else return;
    }
  });
  return slave;
}

long Close_Draining_Pty() {
  // The slave is closed by the caller; the reader then sees EIO and ends.
  drain.join();
  close(pty_master);
  pty_master = -1;
  return drained;
}

void Same_Terminal_Environment() {
  unsetenv("TMUX");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

}  // namespace bench
