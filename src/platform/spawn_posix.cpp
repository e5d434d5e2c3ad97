// Starting a program directly, without a shell, and waiting for it.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix_commands.h"

extern char** environ;

namespace platform {

namespace {

// Programs started to run on their own (a terminal window); collected
// once they end so that they do not linger as zombies.
std::vector<pid_t> detached;

void Reap_Detached() {
  std::vector<pid_t> running;
  for (pid_t pid : detached) {
    int st;
    if (waitpid(pid, &st, WNOHANG) == 0) running.push_back(pid);
  }
  detached.swap(running);
}

// Starts argv; false, with a line on standard error, when it cannot be.
// A detached program gets a process group of its own, so that Ctrl+C here
// does not reach it, and no standard input.
bool Start_Child(std::vector<std::string> argv, bool detach, pid_t& pid) {
  if (argv.empty() || argv[0].empty()) {
    std::cerr << "velder: no program to start\n";
    return false;
  }
  std::string prog = Find_On_Path(argv[0]);
  if (prog.empty()) {
    std::cerr << "velder: " << argv[0] << ": not found\n";
    return false;
  }
  int err = Start_Program(prog, argv, detach, pid);
  if (err != 0) {
    std::cerr << "velder: " << argv[0] << ": " << std::strerror(err) << '\n';
    return false;
  }
  return true;
}

int Wait_Child(pid_t pid) {
  int st = 0;
  while (waitpid(pid, &st, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(st)) return WEXITSTATUS(st);
  if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
  return 127;
}

}  // namespace

Ignore_Interrupts::Ignore_Interrupts() {
  struct sigaction ign {};
  ign.sa_handler = SIG_IGN;
  sigemptyset(&ign.sa_mask);
  sigaction(SIGINT, &ign, &old_int);
  sigaction(SIGQUIT, &ign, &old_quit);
  // Only a process that owns the terminal puts its mode back afterwards;
  // one in the background leaves it to the shell.
  have_mode = isatty(STDIN_FILENO) == 1 && In_Foreground() && tcgetattr(STDIN_FILENO, &mode) == 0;
  // Shared with the program: one that leaves it non-blocking would leave
  // every later read here failing.
  in_flags = fcntl(STDIN_FILENO, F_GETFL);
}

Ignore_Interrupts::~Ignore_Interrupts() {
  if (have_mode) {
    // A program that took the terminal for a process group of its own
    // gives it back here, as a shell takes it back after a job.
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
    // Taken back only from a program's group: a terminal the shell holds
    // (velder stopped and put in the background meanwhile) stays the
    // shell's, and so does its mode.
    pid_t fg = tcgetpgrp(STDIN_FILENO);
    bool ours = fg == getpgrp();
    if (!ours && fg != getsid(0) && fg > 0) ours = tcsetpgrp(STDIN_FILENO, getpgrp()) == 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (ours) Set_Mode_Quietly(mode);
  }
  if (in_flags >= 0) fcntl(STDIN_FILENO, F_SETFL, in_flags);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
}

int Start_Program(std::string prog, std::vector<std::string> argv, bool detach, pid_t& pid) {
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(&a[0]);
  args.push_back(nullptr);
  // The child gets the signal dispositions a shell would give it.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  if (!Ignored_At_Start(SIGINT)) sigaddset(&defaults, SIGINT);
  if (!Ignored_At_Start(SIGQUIT)) sigaddset(&defaults, SIGQUIT);
  sigaddset(&defaults, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &none);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (detach) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawnattr_setflags(&attr, flags);
  int err = posix_spawn(&pid, prog.c_str(), &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return err;
}

std::string Find_On_Path(std::string name) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string full = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
      return full;
    if (colon == std::string::npos) return std::string();
    start = colon + 1;
  }
}

int Spawn(std::vector<std::string> argv, bool wait) {
  bool started = false;
  if (wait) return Spawn_And_Wait(argv, started);
  Reap_Detached();
  pid_t pid;
  if (!Start_Child(argv, true, pid)) return 127;
  detached.push_back(pid);
  return 0;
}

int Spawn_And_Wait(std::vector<std::string> argv, bool& started) {
  Reap_Detached();
  Ignore_Interrupts guard;
  pid_t pid;
  started = Start_Child(argv, false, pid);
  if (!started) return 127;
  return Wait_Child(pid);
}

}  // namespace platform
