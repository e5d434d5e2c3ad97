#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/first_setup.h"

extern char** environ;

namespace platform {

namespace {

const std::size_t TEXT_LIMIT = 64 * 1024;

// One read: true when it got bytes; open becomes false at the end.
bool Read_Some(int fd, std::string& text, bool& open) {
  char buf[4096];
  ssize_t k = read(fd, buf, sizeof buf);
  if (k > 0 && text.size() < TEXT_LIMIT) text.append(buf, static_cast<std::size_t>(k));
  if (k == 0 || (k < 0 && errno != EINTR && errno != EAGAIN)) open = false;
  return k > 0;
}

}  // namespace

// Here a compiler is whatever g++ the user's PATH finds: the system's
// packages put it there, and there are no usual folders off the PATH.
Compiler_Places Find_Compiler_Places() {
  Compiler_Places p;
  const char* path = std::getenv("PATH");
  p.user_path = path ? path : "";
  p.list_separator = ':';
  return p;
}

std::string Compiler_File_Name() { return "g++"; }

bool Ask_Version(std::string exe, double seconds, std::string& text) {
  text.clear();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  std::string flag = "--version";
  char* argv[] = {&exe[0], &flag[0], nullptr};
  pid_t pid = 0;
  int err = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (err != 0) {
    close(fds[0]);
    return false;
  }
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  bool open = true;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(fds[0]);
      return false;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    if (!open)
      usleep(20000);
    else if (poll(&pfd, 1, 20) > 0)
      Read_Some(fds[0], text, open);
  }
  // What it left in the pipe; a program it started that keeps the pipe
  // open is not waited for.
  while (open && Read_Some(fds[0], text, open)) {
  }
  close(fds[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
