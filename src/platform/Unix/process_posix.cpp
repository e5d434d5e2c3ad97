// Starting one program and waiting for it, as a shell runs a command:
// fork and exec, the program a job of its own in the foreground, its end
// or its stop collected with wait4 and its figures with it.
//
// fork rather than posix_spawn: a spawned child runs in this process's
// memory until its exec, and the kernel counts that memory in the
// program's peak. A forked child brings along only the private pages.
#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Unix/commands.h"
#include "platform/Unix/signals.h"
#include "platform/Unix/tty.h"

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Programs started to run on their own; collected once they end, so that
// they do not linger as zombies.
std::vector<pid_t> detached;

void Reap_Detached() {
  std::vector<pid_t> running;
  for (pid_t pid : detached)
    if (waitpid(pid, nullptr, WNOHANG) == 0) running.push_back(pid);
  detached.swap(running);
}

enum class Group { same, job, own };

// A judged run: it has limits, and every process it starts ends with it.
bool Judged(const Process_Spec& s) { return s.cpu_limit > 0 || s.wall_limit > 0 || s.output_limit > 0; }

// The file size limit holds for every regular file a process writes.
// Standard error is not output judged, so when it is a regular file the
// program gets a pipe in its place, and what comes through is copied
// there by this process, which has no such limit.
bool Standard_Error_Counted(const Process_Spec& s) {
  struct stat st;
  return s.output_limit > 0 && fstat(STDERR_FILENO, &st) == 0 && S_ISREG(st.st_mode);
}

// What of the program's output comes through a pipe to this process:
// nothing, its standard output and error for on_output, or its standard
// error alone, copied on to this process's own.
enum class Piped { none, all, error };

Piped Piped_For(const Process_Spec& s) {
  if (s.on_output) return Piped::all;
  return Standard_Error_Counted(s) ? Piped::error : Piped::none;
}

// Sets a limit no higher than the hard limit this process has: only root
// may raise that. SIGXCPU comes at the soft limit, SIGKILL a second later.
bool Limit(int resource, rlim_t soft, rlim_t hard) {
  struct rlimit now;
  if (getrlimit(resource, &now) != 0) return false;
  if (now.rlim_max != RLIM_INFINITY && hard > now.rlim_max) hard = now.rlim_max;
  struct rlimit r = {soft < hard ? soft : hard, hard};
  return setrlimit(resource, &r) == 0;
}

bool Redirect(const std::string& path, int flags, int fd) {
  int f = open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (f < 0) return false;
  // dup2 clears close-on-exec on the copy.
  bool ok = dup2(f, fd) == fd;
  close(f);
  return ok;
}

// The child, between fork and exec: async-signal-safe calls only. A
// failure is written to report, which closes at a successful exec.
[[noreturn]] void Become(const Process_Spec& s, const char* program, char* const* argv,
                         char* const* envp, Group group, int report, Piped piped, int pipe_in) {
  if (s.detached)
    setsid();
  else if (group != Group::same)
    setpgid(0, 0);
  if (s.low_priority) setpriority(PRIO_PROCESS, 0, 19);
  if (group == Group::job) Give_Terminal(getpid());
  // Handlers are reset by exec itself; what is ignored or blocked is not.
  Default_Signals_For_Program();
  bool ok = s.dir.empty() || chdir(s.dir.c_str()) == 0;
  ok = ok && (s.input.empty() || Redirect(s.input, O_RDONLY, STDIN_FILENO));
  ok = ok && (s.output.empty() || Redirect(s.output, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO));
  ok = ok && (!s.error_to_output || dup2(STDOUT_FILENO, STDERR_FILENO) == STDERR_FILENO);
  ok = ok && (piped != Piped::all || dup2(pipe_in, STDOUT_FILENO) == STDOUT_FILENO);
  ok = ok && (piped == Piped::none || dup2(pipe_in, STDERR_FILENO) == STDERR_FILENO);
  if (ok && s.cpu_limit > 0) {
    rlim_t soft = static_cast<rlim_t>(std::ceil(s.cpu_limit));
    ok = Limit(RLIMIT_CPU, soft, soft + 1);
  }
  // One byte more than the limit may be written, so that a file that
  // holds more than the limit tells of a program stopped for passing it.
  if (ok && s.output_limit > 0) {
    rlim_t bytes = static_cast<rlim_t>(s.output_limit) + 1;
    ok = Limit(RLIMIT_FSIZE, bytes, bytes);
  }
  if (ok) execve(program, argv, envp);
  int err = errno;
  ssize_t ignored = write(report, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

// NAME=value words of this process's environment with the changes made.
std::vector<std::string> Environment(const std::vector<Env_Change>& changes) {
  std::vector<std::string> env;
  for (char** v = environ; v && *v; ++v) env.push_back(*v);
  for (const Env_Change& c : changes) {
    std::string head = c.name + "=";
    std::vector<std::string> kept;
    for (std::string& w : env)
      if (w.compare(0, head.size(), head) != 0) kept.push_back(std::move(w));
    env.swap(kept);
    if (!c.unset) env.push_back(head + c.value);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> p;
  for (std::string& w : words) p.push_back(&w[0]);
  p.push_back(nullptr);
  return p;
}

// Forks and execs; the pid, or 0 with e.error set. piped_out: the end of
// the pipe the program's output comes out of (Piped_For), else -1.
pid_t Start(const Process_Spec& s, Group group, Process_End& e, int* piped_out = nullptr) {
  const std::string& program = s.program.empty() && !s.argv.empty() ? s.argv[0] : s.program;
  if (s.argv.empty() || program.empty()) {
    e.error = ENOENT;
    return 0;
  }
  std::vector<std::string> words = s.argv, vars = Environment(s.env);
  std::vector<char*> argv = Pointers(words), envp = Pointers(vars);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    e.error = errno;
    return 0;
  }
  Piped piped = piped_out != nullptr ? Piped_For(s) : Piped::none;
  int out[2] = {-1, -1};
  if (piped != Piped::none && pipe2(out, O_CLOEXEC) != 0) {
    e.error = errno;
    close(report[0]), close(report[1]);
    return 0;
  }
  pid_t pid = fork();
  if (pid == 0) Become(s, program.c_str(), argv.data(), envp.data(), group, report[1], piped, out[1]);
  if (out[1] >= 0) close(out[1]);
  if (out[0] >= 0) {
    fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
    if (pid > 0)
      *piped_out = out[0];
    else
      close(out[0]);
  }
  int err = pid < 0 ? errno : 0;
  // Done on both sides, so that neither the program nor this process
  // goes on before the group exists and holds the terminal.
  if (pid > 0 && group != Group::same && !s.detached) setpgid(pid, pid);
  if (pid > 0 && group == Group::job) Give_Terminal(pid);
  close(report[1]);
  ssize_t got;
  while ((got = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (pid > 0 && got == sizeof err) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid = 0;
    if (piped_out != nullptr && *piped_out >= 0) close(*piped_out);
    if (piped_out != nullptr) *piped_out = -1;
  }
  e.error = err;
  e.started = pid > 0;
  return e.started ? pid : 0;
}

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// The job was stopped (Ctrl+Z, or SIGTTIN): the stop is passed on up, as
// a shell's job is. The terminal comes back with this process's mode and
// this process group stops in turn, so that the shell that started it
// gets the terminal; continued in the foreground (fg), it hands the
// terminal to the job again, in the mode the job left it, and continues
// it. With no shell above (the group is orphaned, as for a window's own
// program) the kernel discards the stop, and the job goes on at once.
void Pass_Stop_On(pid_t job, const Terminal_State& ours) {
  struct termios job_mode;
  bool have_job_mode = Get_Mode(job_mode);
  Take_Terminal(ours);
  kill(0, SIGTSTP);
  if (Can_Give_Terminal()) {
    if (have_job_mode) Set_Mode_Quietly(job_mode);
    Give_Terminal(job);
  }
  kill(-job, SIGCONT);
}

// Hands on what waits in the pipe of the program's output: to on_output,
// or, for its standard error alone, to this process's own. With wait_ms,
// first waits that long for some. A program the compiler left behind
// holding the pipe open is never waited for: only what is there is read.
// False once no writer is left.
bool Pass_Output_On(const Process_Spec& s, int from, int wait_ms) {
  pollfd p = {from, POLLIN, 0};
  if (wait_ms > 0 && poll(&p, 1, wait_ms) <= 0) return true;
  char buf[65536];
  ssize_t k;
  while ((k = read(from, buf, sizeof buf)) > 0 || (k < 0 && errno == EINTR)) {
    if (k <= 0) continue;
    if (s.on_output)
      s.on_output(std::string(buf, static_cast<std::size_t>(k)));
    else
      Write_Out(STDERR_FILENO, buf, static_cast<std::size_t>(k));
  }
  return k != 0;
}

// Waits for the end, polling when there is a wall-clock limit to keep or
// output to pass on. The program is only looked at until it has
// ended (WNOWAIT): while it is not yet collected its process group cannot
// be another's, and a judged run's group is ended before it is.
void Wait(pid_t pid, Group group, const Process_Spec& s, const Terminal_State& ours,
          Clock::time_point t0, int piped, Process_End& e) {
  int st = 0;
  struct rusage ru {};
  bool killed = false;
  bool polling = s.wall_limit > 0 || piped >= 0, open = piped >= 0;
  for (int tick = 1;;) {
    siginfo_t info{};
    int flags = WEXITED | WNOWAIT | (group == Group::job ? WSTOPPED : 0) |
                (polling && !killed ? WNOHANG : 0);
    int r = waitid(P_PID, static_cast<id_t>(pid), &info, flags);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      e.error = errno;
      e.code = 127;
      return;
    }
    if (info.si_pid == 0) {
      if (s.wall_limit > 0 &&
          std::chrono::duration<double>(Clock::now() - t0).count() >= s.wall_limit) {
        kill(group == Group::same ? pid : -pid, SIGKILL);
        killed = true;
      }
      if (open) {
        open = Pass_Output_On(s, piped, tick);
      } else {
        struct timespec nap = {0, tick * 1000000L};
        nanosleep(&nap, nullptr);
      }
      if (tick < 10) ++tick;
      continue;
    }
    if (info.si_code == CLD_STOPPED) {
      while (wait4(pid, &st, WUNTRACED | WNOHANG, &ru) < 0 && errno == EINTR) {
      }
      Pass_Stop_On(pid, ours);
      continue;
    }
    break;
  }
  // Whatever the program started and left running ends with it.
  if (group != Group::same && Judged(s)) kill(-pid, SIGKILL);
  while (wait4(pid, &st, 0, &ru) < 0 && errno == EINTR) {
  }
  if (piped >= 0) Pass_Output_On(s, piped, 0);
  e.cpu_seconds = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
  e.peak_bytes = static_cast<long long>(ru.ru_maxrss) * 1024;  // Linux counts in KiB
  if (WIFSIGNALED(st)) {
    e.signaled = true;
    e.code = WTERMSIG(st);
    e.timed_out = killed && e.code == SIGKILL;
    e.output_exceeded = s.output_limit > 0 && e.code == SIGXFSZ;
    // Past the soft limit SIGXCPU; a program that handles or ignores it
    // is killed at the hard limit.
    e.cpu_exceeded = s.cpu_limit > 0 && !e.timed_out &&
                     (e.code == SIGXCPU || (e.code == SIGKILL && e.cpu_seconds >= std::ceil(s.cpu_limit)));
  } else {
    e.code = WEXITSTATUS(st);
  }
  // A shell script goes on after the command that passed the limit.
  struct stat out;
  if (s.output_limit > 0 && !s.output.empty() && stat(s.output.c_str(), &out) == 0 &&
      out.st_size > s.output_limit)
    e.output_exceeded = true;
}

}  // namespace

Process_End Run_Process(Process_Spec s) {
  Reap_Detached();
  Process_End e;
  Terminal_State ours = Note_Terminal();
  // A judged run is a group of its own even where it cannot have the
  // terminal, so that all it starts can be ended with it.
  Group group = s.foreground && Can_Give_Terminal() ? Group::job : Judged(s) ? Group::own : Group::same;
  Clock::time_point t0 = Clock::now();
  int piped = -1;
  pid_t pid = Start(s, group, e, &piped);
  if (pid > 0) Wait(pid, group, s, ours, t0, piped, e);
  if (piped >= 0) close(piped);
  e.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  Take_Terminal(ours);
  return e;
}

Process_End Start_Process(Process_Spec s) {
  Reap_Detached();
  Process_End e;
  pid_t pid = Start(s, Group::own, e);
  if (pid > 0) detached.push_back(pid);
  return e;
}

int Exit_Status(const Process_End& e) {
  if (!e.started) return 127;
  if (e.signaled) return 128 + static_cast<int>(e.code);
  return static_cast<int>(e.code);
}

}  // namespace platform
